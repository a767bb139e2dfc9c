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

// Where the exponent of a number ends, if text[pos] starts one: a letter, an optional sign and
// at least one digit. Returns pos itself when there is no exponent.
std::size_t exponent_end(std::string_view text, std::size_t pos, bool& negative) {
    if (pos + 1 >= text.size() || !is_exponent_letter(text[pos])) return pos;
    std::size_t digits = pos + 1;
    negative = text[digits] == '-';
    if (text[digits] == '+' || text[digits] == '-') ++digits;
    if (digits >= text.size() || !is_digit(text[digits])) return pos;
    while (digits < text.size() && is_digit(text[digits]))
        ++digits;
    return digits;
}

// Numbers as models write them: at most 19 digits, so the digits fit 64 bits, and a value that
// Clinger's fast path converts exactly: a mantissa of at most 53 bits times or divided by a power
// of ten up to 1e22, both exact doubles, rounds once and so correctly. False for anything else.
bool parse_simple(std::string_view text, double& value) {
    static constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int kLargestExactPower = 22;
    constexpr int kMaxDigits = 19;

    std::size_t pos = 0;
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
    std::uint64_t mantissa = 0;
    const std::size_t integer_start = pos;
    for (; pos < text.size() && is_digit(text[pos]); ++pos) {
        mantissa = mantissa * 10 + static_cast<unsigned>(text[pos] - '0');
    }
    int digits = static_cast<int>(pos - integer_start);
    int fraction_digits = 0;
    if (pos < text.size() && text[pos] == '.' && digits <= kMaxDigits) {
        const std::size_t fraction_start = ++pos;
        for (; pos < text.size() && is_digit(text[pos]); ++pos) {
            mantissa = mantissa * 10 + static_cast<unsigned>(text[pos] - '0');
        }
        fraction_digits = static_cast<int>(pos - fraction_start);
        digits += fraction_digits;
    }
    if (digits == 0 || digits > kMaxDigits) return false;

    bool exponent_negative = false;
    const std::size_t end = exponent_end(text, pos, exponent_negative);
    int exponent = 0;
    if (end != pos) {
        std::size_t exponent_digits = pos + 1;
        if (!is_digit(text[exponent_digits])) ++exponent_digits;
        if (end - exponent_digits > 4) return false;
        for (; exponent_digits < end; ++exponent_digits) {
            exponent = exponent * 10 + (text[exponent_digits] - '0');
        }
        if (exponent_negative) exponent = -exponent;
    }

    const int scale = exponent - fraction_digits;
    if (mantissa == 0) {
        value = negative ? -0.0 : 0.0;
        return true;
    }
    if (mantissa > (std::uint64_t{1} << 53) || scale < -kLargestExactPower ||
        scale > kLargestExactPower) {
        return false;
    }
    const double exact = static_cast<double>(mantissa);
    value = scale < 0 ? exact / kExactPowers[-scale] : exact * kExactPowers[scale];
    if (negative) value = -value;
    return true;
}

// Where a number starting at text[0] ends, and what the general conversion needs to know.
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
    bool exponent_negative = false;
    const std::size_t end = exponent_end(text, pos, exponent_negative);
    if (end != pos) {
        span.has_d_exponent = text[pos] == 'D' || text[pos] == 'd';
        std::size_t exponent_digits = pos + 1;
        if (!is_digit(text[exponent_digits])) ++exponent_digits;
        exponent = accumulate_digits(text, exponent_digits);
        if (exponent > (1 << 30)) exponent = 1 << 30;
        if (exponent_negative) exponent = -exponent;
    }
    span.length = end;
    span.magnitude = exponent + (integer_digits > 0 ? integer_digits : -leading_fraction_zeros);
    return span;
}

// Any number, by the standard conversion, with its overflow and underflow made explicit.
double parse_general(std::string_view text) {
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

}  // namespace

double parse_decimal(std::string_view text) {
    double value = 0.0;
    if (parse_simple(text, value)) return value;
    return parse_general(text);
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
