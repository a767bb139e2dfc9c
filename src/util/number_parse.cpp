#include "util/number_parse.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

#include "util/byte_words.h"
#include "util/tokens.h"

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

// A written exponent beyond this is out of every double's range whatever the digits before it,
// so it is held at this, which keeps the arithmetic on it far from overflow.
constexpr std::int64_t kExponentCap = 1 << 30;

// A number as the leading-number rule reads it: its value is
// (-1)^negative * <integer digits><fraction digits> * 10^(exponent - fraction digits).
struct ScannedNumber {
    bool negative = false;
    std::string_view integer_digits;
    std::string_view fraction_digits;
    std::int64_t exponent = 0;   // as written, held within kExponentCap
    std::uint64_t mantissa = 0;  // all the digits as one integer; exact only for up to 19 digits

    // No digits: the text does not begin like a number.
    std::size_t digit_count() const { return integer_digits.size() + fraction_digits.size(); }
    std::int64_t scale() const {
        return exponent - static_cast<std::int64_t>(fraction_digits.size());
    }
};

// One pass over the characters: sign, digits with an optional point, then an exponent (E, e, D
// or d, an optional sign and digits; a letter and sign without digits leave the exponent 0).
ScannedNumber scan_number(std::string_view text) {
    ScannedNumber number;
    const char* p = text.data();
    const char* const end = p + text.size();
    if (p != end && (*p == '+' || *p == '-')) {
        number.negative = *p == '-';
        ++p;
    }

    std::uint64_t mantissa = 0;  // wraps past 19 digits, which digit_count() tells
    const char* const integer_start = p;
    for (; p != end && is_digit(*p); ++p)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    number.integer_digits = std::string_view(integer_start, p);
    if (p != end && *p == '.') {
        const char* const fraction_start = ++p;
        for (; p != end && is_digit(*p); ++p)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        number.fraction_digits = std::string_view(fraction_start, p);
    }
    if (number.digit_count() == 0) return ScannedNumber{};
    number.mantissa = mantissa;

    if (end - p >= 2 && is_exponent_letter(*p)) {
        const char* e = p + 1;
        const bool exponent_negative = *e == '-';
        if (*e == '+' || *e == '-') ++e;
        std::int64_t exponent = 0;
        for (; e != end && is_digit(*e); ++e) {
            if (exponent < kExponentCap) exponent = exponent * 10 + (*e - '0');
        }
        number.exponent = exponent_negative ? -exponent : exponent;  // 0 without digits
    }
    return number;
}

// Clinger's fast path: a mantissa of at most 53 bits times or divided by a power of ten up to
// 1e22, both exact doubles, rounds once and so correctly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;

// At most 19 digits fit 64 bits.
constexpr std::size_t kMaxMantissaDigits = 19;

// Numbers as models write them: at most 19 digits, so the digits fit 64 bits, and a value that
// Clinger's fast path converts exactly. False for anything else.
bool convert_simple(const ScannedNumber& number, double& value) {
    if (number.digit_count() > kMaxMantissaDigits) return false;
    if (number.mantissa == 0) {
        value = number.negative ? -0.0 : 0.0;
        return true;
    }
    const std::int64_t scale = number.scale();
    if (number.mantissa > (std::uint64_t{1} << 53) || scale < -kLargestExactPower ||
        scale > kLargestExactPower) {
        return false;
    }
    const double exact = static_cast<double>(number.mantissa);
    value = scale < 0 ? exact / kExactPowers[-scale] : exact * kExactPowers[scale];
    if (number.negative) value = -value;
    return true;
}

// Any number, by the standard conversion of the scanned parts written in its plain form
// ([-]digits e exponent), with overflow and underflow made explicit.
double convert_general(const ScannedNumber& number) {
    std::string plain = number.negative ? "-" : "";
    plain.append(number.integer_digits).append(number.fraction_digits);
    plain += 'e';
    plain += std::to_string(number.scale());

    double value = 0.0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // The decimal order of magnitude of the first significant digit tells overflow (above
        // the range) from underflow (below it).
        const std::string_view digits(plain.data() + (number.negative ? 1 : 0),
                                      number.digit_count());
        const std::size_t leading_zeros = digits.find_first_not_of('0');
        const std::int64_t magnitude =
            static_cast<std::int64_t>(digits.size() - leading_zeros) + number.scale();
        const double limit = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        value = number.negative ? -limit : limit;
    }
    return value;
}

// The top bit of every byte of the word that is not a decimal digit. A byte below '0' borrows
// and one above '9' carries, but only into the bytes after it, so the first flagged byte is
// always the first non-digit.
constexpr std::uint64_t non_digit_bytes(std::uint64_t word) {
    return ((word + repeat_byte(0x46)) | (word - repeat_byte('0'))) & repeat_byte(0x80);
}

// The number that the first `count` characters of the word (0 to 8 decimal digits) write. The
// digits are moved to the top bytes, so that zeros lead, and then joined in pairs, in fours and
// into the eight by three multiplications instead of a loop whose length varies. The move is
// made in two halves so that no count needs a shift by the full 64 bits.
std::uint64_t value_of_digits(std::uint64_t word, int count) {
    const int half_shift = 4 * (8 - count);
    std::uint64_t digits = ((word - repeat_byte('0')) << half_shift) << half_shift;
    digits = digits * 10 + (digits >> 8);
    constexpr std::uint64_t kLowOfPairs = 0x000000FF000000FF;
    return (((digits & kLowOfPairs) * (100 + (std::uint64_t{1000000} << 32))) +
            (((digits >> 16) & kLowOfPairs) * (1 + (std::uint64_t{10000} << 32)))) >>
           32;
}

constexpr std::uint64_t kDigitScales[] = {1,      10,      100,      1000,     10000,
                                          100000, 1000000, 10000000, 100000000};

// How many bytes from the first digit a token must have before the end of its text for the fast
// conversion to look at: 7 integer digits, a point and 15 fraction digits, read 8 bytes at a
// time, then E, a sign and 3 exponent digits; the text may end after them.
constexpr std::ptrdiff_t kFastWindow = 32;

// The digits of a token's integer part, 1 to 7 of them, at the front of the word. One digit, the
// common case, needs no conversion of the whole word.
std::uint64_t integer_value(std::uint64_t word, int count) {
    return count == 1 ? (word & 0x0F) : value_of_digits(word, count);
}

// Converts the token [start, stop) in one pass when it is a number as models write them: an
// optional '-', 1 to 7 integer digits, optionally a point and up to 15 fraction digits,
// optionally an exponent letter, a sign and 1 to 3 digits, and when Clinger's fast path converts
// it. False for every other token, which then takes the general conversion. Up to 7 integer and
// 8 fraction digits, 15 in all, always fit 53 bits, and so do the powers of ten of a number
// without exponent; only the rarer forms need those checks.
bool convert_common_token(const char* start, const char* stop, const char* end, double& value) {
    const bool negative = *start == '-';
    const char* const digits = start + (negative ? 1 : 0);
    if (end - digits < kFastWindow) return false;

    const std::uint64_t integer_word = load_word(digits);
    const int integer_count = first_flagged_byte(non_digit_bytes(integer_word));
    if (integer_count == 0 || integer_count == 8) return false;
    std::uint64_t mantissa = integer_value(integer_word, integer_count);
    int fraction_count = 0;
    const char* p = digits + integer_count;
    if (*p == '.') {
        ++p;
        const std::uint64_t first_word = load_word(p);
        fraction_count = first_flagged_byte(non_digit_bytes(first_word));
        mantissa = mantissa * kDigitScales[static_cast<std::size_t>(fraction_count)] +
                   value_of_digits(first_word, fraction_count);
        if (fraction_count == 8) {
            const std::uint64_t second_word = load_word(p + 8);
            const int second_count = first_flagged_byte(non_digit_bytes(second_word));
            // Past 19 digits the mantissa wraps, and past 53 bits Clinger's path does not hold.
            if (integer_count + 8 + second_count > static_cast<int>(kMaxMantissaDigits)) {
                return false;
            }
            mantissa = mantissa * kDigitScales[static_cast<std::size_t>(second_count)] +
                       value_of_digits(second_word, second_count);
            if (mantissa > (std::uint64_t{1} << 53)) return false;
            fraction_count += second_count;
        }
        p += fraction_count;
    }

    int scale = -fraction_count;
    if (is_exponent_letter(*p)) {
        ++p;
        const bool exponent_negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        const char* const exponent_start = p;
        int exponent = 0;
        for (; p != exponent_start + 3 && is_digit(*p); ++p)
            exponent = exponent * 10 + (*p - '0');
        if (p == exponent_start) return false;
        scale += exponent_negative ? -exponent : exponent;
        if (scale < -kLargestExactPower || scale > kLargestExactPower) return false;
    }
    if (p != stop) return false;
    const double exact = static_cast<double>(mantissa);
    const double magnitude =
        scale <= 0 ? exact / kExactPowers[-scale] : exact * kExactPowers[scale];
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

double parse_decimal(std::string_view text) {
    const ScannedNumber number = scan_number(text);
    if (number.digit_count() == 0) return 0.0;
    double value = 0.0;
    if (convert_simple(number, value)) return value;
    return convert_general(number);
}

int take_decimals(std::string_view& rest, int count, double* values) {
    const char* p = rest.data();
    const char* const end = p + rest.size();
    int taken = 0;
    for (; taken < count; ++taken) {
        while (p != end && is_token_delimiter(*p))
            ++p;
        if (p == end) break;
        // The end is found first, so that finding the next token need not wait for this one's
        // conversion.
        const char* const stop = token_end(p, end);
        if (!convert_common_token(p, stop, end, values[taken]))
            values[taken] = parse_decimal(std::string_view(p, static_cast<std::size_t>(stop - p)));
        p = stop;
    }
    rest = std::string_view(p, static_cast<std::size_t>(end - p));
    return taken;
}

std::int64_t parse_integer(std::string_view text) {
    const bool signed_text = !text.empty() && (text[0] == '+' || text[0] == '-');
    std::size_t pos = signed_text ? 1 : 0;
    const std::int64_t value = accumulate_digits(text, pos);
    return signed_text && text[0] == '-' ? -value : value;
}

std::int64_t parse_leading_digits(std::string_view text) {
    std::size_t pos = 0;
    return accumulate_digits(text, pos);
}

std::string_view integer_text(std::string_view text) {
    const bool signed_text = !text.empty() && (text[0] == '+' || text[0] == '-');
    const std::size_t sign_length = signed_text ? 1 : 0;
    return text.substr(0, sign_length + leading_digits_text(text.substr(sign_length)).size());
}

std::string_view leading_digits_text(std::string_view text) {
    std::size_t end = 0;
    while (end < text.size() && is_digit(text[end]))
        ++end;
    return text.substr(0, end);
}

}  // namespace scantelk
