// The summary's number form: seven significant digits and a three-digit exponent, 16 characters.
#pragma once

#include <cstddef>

#include "summary/summary_layout.h"

namespace scantelk {

enum class FieldAlign { left, right };

// Writes `value` as d.ddddddE+ddd (with '-' for a negative value), or "Inf", "-Inf" or "NaN",
// and returns the number of characters written (at most 14). Zero of either sign is written
// 0.000000E+000. The digits come from the correctly rounded 17-significant-digit form, rounded
// half up at the seventh digit.
std::size_t format_scientific(double value, char* out);

// The same result as format_scientific, always by way of the full 17-digit conversion. The fast
// path of format_scientific is tested against it.
std::size_t format_scientific_exact(double value, char* out);

// Writes a field of exactly kFieldWidth characters for each of the `count` values, one after
// another: the number justified in 15 characters, then a space. Returns the end of the last.
char* write_number_fields(char* out, const double* values, std::size_t count, FieldAlign align);

}  // namespace scantelk
