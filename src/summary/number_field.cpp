#include "summary/number_field.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "util/byte_words.h"

namespace scantelk {
namespace {

constexpr int kShownDigits = 7;
constexpr std::uint32_t kSevenDigitLow = 1000000;    // 10^6
constexpr std::uint32_t kSevenDigitHigh = 10000000;  // 10^7

// A value rounded to seven significant digits: (-1)^negative * digits * 10^(exponent - 6),
// with digits in [10^6, 10^7).
struct SevenDigits {
    bool negative = false;
    std::uint32_t digits = 0;
    int exponent = 0;
};

// A formatted number: its characters (at most 14, then spaces up to 16) in two words
// (util/byte_words.h), so that placing them in a field is a shift rather than a copy, and their
// count.
struct NumberText {
    std::uint64_t head = repeat_byte(' ');  // characters 0 to 7
    std::uint64_t tail = repeat_byte(' ');  // characters 8 to 15
    std::size_t length = 0;
};

NumberText text_of_characters(std::string_view characters) {
    char padded[kFieldWidth];
    std::memset(padded, ' ', sizeof padded);
    std::memcpy(padded, characters.data(), characters.size());
    return NumberText{load_word(padded), load_word(padded + 8), characters.size()};
}

// Four characters as a word, the first in the lowest byte.
constexpr std::uint32_t four_characters(char a, char b, char c, char d) {
    return std::uint32_t{static_cast<unsigned char>(a)} |
           (std::uint32_t{static_cast<unsigned char>(b)} << 8) |
           (std::uint32_t{static_cast<unsigned char>(c)} << 16) |
           (std::uint32_t{static_cast<unsigned char>(d)} << 24);
}

constexpr char digit_character(std::uint32_t digit) {
    return static_cast<char>('0' + digit);
}

// "0000" to "9999", and "1.00" to "9.99" for the leading three digits of a mantissa: tables of
// 40 KB and 4 KB, so that the seven digits take two lookups and no division by ten.
constexpr auto kDigitFours = [] {
    std::array<std::uint32_t, 10000> fours{};
    for (std::uint32_t n = 0; n < 10000; ++n) {
        fours[n] = four_characters(digit_character(n / 1000), digit_character(n / 100 % 10),
                                   digit_character(n / 10 % 10), digit_character(n % 10));
    }
    return fours;
}();
constexpr auto kLeadingThrees = [] {
    std::array<std::uint32_t, 1000> leads{};
    for (std::uint32_t n = 100; n < 1000; ++n) {
        leads[n] = four_characters(digit_character(n / 100), '.', digit_character(n / 10 % 10),
                                   digit_character(n % 10));
    }
    return leads;
}();

// "d.dddddd" for digits in [10^6, 10^7).
std::uint64_t mantissa_characters(std::uint32_t digits) {
    return std::uint64_t{kLeadingThrees[digits / 10000]} |
           (std::uint64_t{kDigitFours[digits % 10000]} << 32);
}

// "E+ddd" and three spaces, as a word, for every decimal exponent a double can have.
constexpr int kLowestExponent = -324;
constexpr int kHighestExponent = 308;
constexpr auto kExponentWords = [] {
    std::array<std::uint64_t, kHighestExponent - kLowestExponent + 1> words{};
    for (int e = kLowestExponent; e <= kHighestExponent; ++e) {
        const auto magnitude = static_cast<std::uint32_t>(e < 0 ? -e : e);
        const std::uint32_t first =
            four_characters('E', e < 0 ? '-' : '+', digit_character(magnitude / 100),
                            digit_character(magnitude / 10 % 10));
        const std::uint32_t second =
            four_characters(digit_character(magnitude % 10), ' ', ' ', ' ');
        words[static_cast<std::size_t>(e - kLowestExponent)] =
            first | (std::uint64_t{second} << 32);
    }
    return words;
}();

// [-]d.ddddddE+ddd: 13 characters, 14 with the sign.
inline NumberText text_of_seven_digits(const SevenDigits& number) {
    const std::uint64_t mantissa = mantissa_characters(number.digits);
    const std::uint64_t exponent =
        kExponentWords[static_cast<std::size_t>(number.exponent - kLowestExponent)];
    if (!number.negative) return NumberText{mantissa, exponent, 13};
    // A minus sign first moves every character one byte on; the tail's last byte was a space.
    return NumberText{(mantissa << 8) | '-', (exponent << 8) | (mantissa >> 56), 14};
}

// Zero of either sign, infinities and NaN. R and Python read the words back as the same values.
NumberText text_of_special(double value) {
    if (value == 0.0) return text_of_characters("0.000000E+000");
    if (std::isnan(value)) return text_of_characters("NaN");
    return text_of_characters(value < 0 ? "-Inf" : "Inf");
}

bool is_special(double value) {
    return value == 0.0 || !std::isfinite(value);
}

// The reference rounding: the correctly rounded 17-significant-digit decimal form, then half up
// at the seventh digit, carrying into the exponent.
SevenDigits round_exactly(double value) {
    char text[32];  // [-]d.dddddddddddddddde[+-]ddd
    const char* end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 16).ptr;
    const char* p = text;
    SevenDigits number;
    number.negative = *p == '-';
    if (number.negative) ++p;
    std::uint64_t seventeen = static_cast<std::uint64_t>(*p - '0');
    for (const char* d = p + 2; d < p + 18; ++d)
        seventeen = seventeen * 10 + static_cast<std::uint64_t>(*d - '0');
    int exponent = 0;
    std::from_chars(p + 20, end, exponent);  // after "d.<16 digits>e" and the exponent's sign
    number.exponent = p[19] == '-' ? -exponent : exponent;

    constexpr std::uint64_t kDroppedDigits = 10000000000;  // the 10 digits after the seventh
    number.digits = static_cast<std::uint32_t>((seventeen + kDroppedDigits / 2) / kDroppedDigits);
    if (number.digits == kSevenDigitHigh) {
        number.digits = kSevenDigitLow;
        ++number.exponent;
    }
    return number;
}

// Out of line: it is rare, and the fast loop stays small without it.
[[gnu::noinline]] NumberText text_exactly(double value) {
    if (is_special(value)) return text_of_special(value);
    return text_of_seven_digits(round_exactly(value));
}

// The fast path scales the value by a power of ten into [10^6, 10^7) and reads the seven digits
// off the scaled value. It takes decimal exponents below kFastExponentLimit either way, so that
// both powers it may multiply by, 10^(6 - e) and 10^(5 - e), are normal doubles. Zero,
// subnormals, infinities and NaN fall outside that range by their binary exponent.
constexpr int kFastExponentLimit = 280;
constexpr int kPowerLimit = kFastExponentLimit + kShownDigits;

// 10^k for |k| <= kPowerLimit, each correctly rounded, made once before main runs.
const std::array<double, 2 * kPowerLimit + 1> kPowersOfTen = [] {
    std::array<double, 2 * kPowerLimit + 1> table{};
    for (int k = -kPowerLimit; k <= kPowerLimit; ++k) {
        char text[8] = "1e";
        const char* end = std::to_chars(text + 2, text + sizeof text, k).ptr;
        const int index = k + kPowerLimit;
        std::from_chars(text, end, table[static_cast<std::size_t>(index)]);
    }
    return table;
}();

double power_of_ten(int k) {
    const int index = k + kPowerLimit;
    return kPowersOfTen[static_cast<std::size_t>(index)];
}

// How far the scaled value may lie from the true one: two roundings (of the power and of the
// product), each at most half a unit in the last place, 2^-53 relative, so under 2.3e-16
// relative, and under 3e-9 absolute below 10^7. Adding the half for rounding (below) may round
// once more, by at most half a unit in the last place of a number below 2^24: under 1e-9.
//
// How far the exact path's first rounding moves the point where the seventh digit rounds up: the
// 17-digit form is within half a unit of its 17th digit, 5e-11 units of the seventh.
//
// So wherever the fraction after the seventh digit lies further than kTieWindow from a half, the
// scaled value and the exact path round the same way; kTieWindow leaves a wide margin over the
// sum, 3e-9 + 1e-9 + 5e-11. Closer to a half (one value in five million), the exact path decides.
constexpr double kTieWindow = 1e-7;

// Decides the seven digits from the scaled value when that is safe; false sends the value to the
// exact path.
inline bool round_fast(double value, SevenDigits& number) {
    const double magnitude = std::fabs(value);
    const int biased_exponent = static_cast<int>(std::bit_cast<std::uint64_t>(magnitude) >> 52);
    // floor(log10(2^b)) for the binary exponent b: the decimal exponent, or one below it.
    int exponent = ((biased_exponent - 1023) * 78913) >> 18;
    if (exponent < -kFastExponentLimit || exponent >= kFastExponentLimit) return false;

    // The estimate was one low when its scaled value reaches 10^7. Beyond 10^22 the powers are
    // rounded, so a value within rounding of a power of ten may land just below 10^6 or at 10^7;
    // just below 10^6 the digits round up to 1000000 at either exponent, and outside the range the
    // exact path decides. The second product is made either way, so that no branch guesses which
    // estimate held.
    const double scaled_estimate = magnitude * power_of_ten(kShownDigits - 1 - exponent);
    exponent += scaled_estimate >= kSevenDigitHigh ? 1 : 0;
    const double scaled = magnitude * power_of_ten(kShownDigits - 1 - exponent);
    if (!(scaled >= kSevenDigitLow - 1e-3 && scaled < kSevenDigitHigh)) return false;

    // Adding a half and cutting off the fraction rounds half up; the part cut off tells how near
    // the value came to a tie.
    const double raised = scaled + 0.5;
    auto whole = static_cast<std::uint32_t>(raised);
    const double cut_off = raised - whole;
    if (cut_off < kTieWindow || cut_off > 1 - kTieWindow) return false;
    if (whole == kSevenDigitHigh) {
        whole = kSevenDigitLow;
        ++exponent;
    }
    number.negative = value < 0;
    number.digits = whole;
    number.exponent = exponent;
    return true;
}

inline NumberText format_text(double value) {
    SevenDigits number;
    if (round_fast(value, number)) return text_of_seven_digits(number);
    return text_exactly(value);
}

std::size_t put_text(const NumberText& text, char* out) {
    char characters[kFieldWidth];
    store_word(characters, text.head);
    store_word(characters + 8, text.tail);
    std::memcpy(out, characters, text.length);
    return text.length;
}

// The text moved `count` characters on (1 to 7), with spaces before it.
NumberText after_spaces(const NumberText& text, std::size_t count) {
    const auto bits = static_cast<int>(8 * count);
    return NumberText{(text.head << bits) | (repeat_byte(' ') >> (64 - bits)),
                      (text.tail << bits) | (text.head >> (64 - bits)), text.length};
}

template <FieldAlign align>
inline char* write_field(char* out, double value) {
    NumberText text = format_text(value);
    // A left field starts with the number; a right field ends in it and the separator space.
    const std::size_t lead = align == FieldAlign::left ? 0 : kFieldWidth - 1 - text.length;
    if (lead >= 8) {  // the short words Inf, -Inf and NaN in a right field
        std::memset(out, ' ', kFieldWidth);
        put_text(text, out + lead);
    } else {
        if (lead > 0) text = after_spaces(text, lead);
        store_word(out, text.head);
        store_word(out + 8, text.tail);
    }
    return out + kFieldWidth;
}

template <FieldAlign align>
char* write_fields(char* out, const double* values, std::size_t count) {
    for (std::size_t n = 0; n < count; ++n)
        out = write_field<align>(out, values[n]);
    return out;
}

}  // namespace

std::size_t format_scientific(double value, char* out) {
    return put_text(format_text(value), out);
}

std::size_t format_scientific_exact(double value, char* out) {
    return put_text(text_exactly(value), out);
}

char* write_number_fields(char* out, const double* values, std::size_t count, FieldAlign align) {
    // One loop per alignment, so that the field code is inlined into it without a test per field.
    if (align == FieldAlign::left) return write_fields<FieldAlign::left>(out, values, count);
    return write_fields<FieldAlign::right>(out, values, count);
}

}  // namespace scantelk
