// Locale-free number conversions shared by the input data file and report readers.
#pragma once

#include <cstdint>
#include <string_view>

namespace scantelk {

constexpr bool is_decimal_digit(char c) {
    return c >= '0' && c <= '9';
}

// Leading-number rule: optional sign, digits with an optional decimal point, optional exponent
// introduced by E, e, D or d. Conversion stops at the first character that cannot continue the
// number; text that does not begin like a number gives 0.0. The result is correctly rounded;
// a value too large for a double gives +/-infinity and one too small gives (signed) zero or the
// nearest subnormal.
// After the optional sign, the spellings that libraries write for non-numbers are read as such,
// in any letter case: inf and infinity give +/-infinity, nan and nan(...) give NaN; so do the
// forms of older Windows runtimes 1.#INF, 1.#QNAN, 1.#SNAN and 1.#IND, digits after them
// included. The sign of a NaN is not kept. As with a number, the rest of the text is ignored:
// "infant" is infinity.
double parse_decimal(std::string_view text);

// True when parse_decimal reads the token as one of the spellings of infinity or NaN (a number
// too large for a double, such as 1e400, is not one).
bool spells_non_number(std::string_view token);

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
