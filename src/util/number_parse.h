// Locale-free number conversions shared by the input data file and report readers.
#pragma once

#include <cstdint>
#include <string_view>

namespace scantelk {

// Leading-number rule: optional sign, digits with an optional decimal point, optional exponent
// introduced by E, e, D or d. Conversion stops at the first character that cannot continue the
// number; text that does not begin like a number gives 0.0. The result is correctly rounded;
// a value too large for a double gives +/-infinity and one too small gives (signed) zero or the
// nearest subnormal.
double parse_decimal(std::string_view text);

// Converts up to `count` tokens from the front of `rest` (split as next_token splits them) into
// `values`, each exactly as parse_decimal converts it, and shortens `rest` to what follows them.
// Returns how many tokens there were: fewer than `count` when the text ran out.
int take_decimals(std::string_view& rest, int count, double* values);

// Optional sign, then decimal digits, stopping at the first other character ("3.7" gives 3).
// No digits give 0. Values beyond the 64-bit range saturate, so a caller can range-check them.
std::int64_t parse_integer(std::string_view text);

// The leading decimal digits of the text (no sign), saturating like parse_integer.
std::int64_t parse_leading_digits(std::string_view text);

// The text that parse_integer reads (sign and digits) and that parse_leading_digits reads (the
// digits), as written: what a message names as the value.
std::string_view integer_text(std::string_view text);
std::string_view leading_digits_text(std::string_view text);

}  // namespace scantelk
