#include "util/number_parse.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

namespace scantelk {
namespace {

constexpr std::int64_t kSaturated = std::numeric_limits<std::int64_t>::max();

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_exponent_letter(char c) {
    return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

// Accumulates decimal digits from text[pos] on, stopping at the first non-digit.
// Saturates instead of overflowing. Advances pos past the digits.
std::int64_t accumulate_digits(std::string_view text, std::size_t& pos) {
    std::int64_t value = 0;
    for (; pos < text.size() && is_digit(text[pos]); ++pos) {
        const int digit = text[pos] - '0';
        value = (value > (kSaturated - digit) / 10) ? kSaturated : value * 10 + digit;
    }
    return value;
}

// Where a number starting at text[0] ends, and what the conversion needs to know about it.
struct NumberSpan {
    std::size_t length = 0;       // 0 when the text does not begin like a number
    bool has_plus = false;        // leading '+', which std::from_chars does not accept
    bool has_d_exponent = false;  // exponent letter D or d, which std::from_chars does not accept
    // Decimal order of magnitude of the first significant digit, used only to tell an
    // overflow from an underflow when std::from_chars reports a result out of range.
    std::int64_t magnitude = 0;
};

NumberSpan scan_number(std::string_view text) {
    NumberSpan span;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        span.has_plus = text[pos] == '+';
        ++pos;
    }
    std::size_t digits = 0;
    std::int64_t leading_fraction_zeros = 0;
    std::int64_t integer_digits = 0;  // significant digits before the point
    bool seen_nonzero = false;
    for (; pos < text.size() && is_digit(text[pos]); ++pos, ++digits) {
        seen_nonzero = seen_nonzero || text[pos] != '0';
        if (seen_nonzero) ++integer_digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        for (; pos < text.size() && is_digit(text[pos]); ++pos, ++digits) {
            if (!seen_nonzero && text[pos] == '0') ++leading_fraction_zeros;
            seen_nonzero = seen_nonzero || text[pos] != '0';
        }
    }
    if (digits == 0) return NumberSpan{};

    std::int64_t exponent = 0;
    if (pos + 1 < text.size() && is_exponent_letter(text[pos])) {
        std::size_t exp_pos = pos + 1;
        bool negative = false;
        if (text[exp_pos] == '+' || text[exp_pos] == '-') {
            negative = text[exp_pos] == '-';
            ++exp_pos;
        }
        if (exp_pos < text.size() && is_digit(text[exp_pos])) {
            span.has_d_exponent = text[pos] == 'D' || text[pos] == 'd';
            exponent = accumulate_digits(text, exp_pos);
            exponent = (exponent > (1 << 30)) ? (1 << 30) : exponent;
            if (negative) exponent = -exponent;
            pos = exp_pos;
        }
    }
    span.length = pos;
    span.magnitude = exponent + (integer_digits > 0 ? integer_digits : -leading_fraction_zeros);
    return span;
}

}  // namespace

double parse_decimal(std::string_view text) {
    const NumberSpan span = scan_number(text);
    if (span.length == 0) return 0.0;

    std::string_view number = text.substr(0, span.length);
    // Rewrite the rare forms std::from_chars rejects: a leading '+' and a D exponent.
    std::string rewritten;
    if (span.has_plus || span.has_d_exponent) {
        if (span.has_plus) number.remove_prefix(1);
        rewritten.assign(number);
        for (char& c : rewritten) {
            if (c == 'D' || c == 'd') c = 'E';
        }
        number = rewritten;
    }

    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const bool negative = number.front() == '-';
        const double magnitude = span.magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        value = negative ? -magnitude : magnitude;
    }
    return value;
}

std::int64_t parse_integer(std::string_view text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::int64_t value = accumulate_digits(text, pos);
    return negative ? -value : value;
}

std::int64_t parse_leading_digits(std::string_view text) {
    std::size_t pos = 0;
    return accumulate_digits(text, pos);
}

}  // namespace scantelk
