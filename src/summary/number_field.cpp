#include "summary/number_field.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

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

// "00" "01" ... "99", for writing two digits at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t n = 0; n < 100; ++n) {
        pairs[2 * n] = static_cast<char>('0' + n / 10);
        pairs[2 * n + 1] = static_cast<char>('0' + n % 10);
    }
    return pairs;
}();

void put_pair(char* out, std::uint32_t n) {
    const std::size_t index = 2 * std::size_t{n};
    out[0] = kDigitPairs[index];
    out[1] = kDigitPairs[index + 1];
}

// Writes [-]d.ddddddE+ddd: 13 characters, 14 with the sign.
std::size_t put_seven_digits(char* out, const SevenDigits& number) {
    char* o = out;
    if (number.negative) *o++ = '-';
    const std::uint32_t lead = number.digits / kSevenDigitLow;
    const std::uint32_t rest = number.digits % kSevenDigitLow;
    o[0] = static_cast<char>('0' + lead);
    o[1] = '.';
    put_pair(o + 2, rest / 10000);
    put_pair(o + 4, rest / 100 % 100);
    put_pair(o + 6, rest % 100);
    o[8] = 'E';
    o[9] = number.exponent < 0 ? '-' : '+';
    const auto magnitude = static_cast<std::uint32_t>(std::abs(number.exponent));
    o[10] = static_cast<char>('0' + magnitude / 100);
    put_pair(o + 11, magnitude % 100);
    return static_cast<std::size_t>(o + 13 - out);
}

// Copies a word and returns its length.
std::size_t put_word(char* out, std::string_view word) {
    std::copy(word.begin(), word.end(), out);
    return word.size();
}

// Zero of either sign, infinities and NaN. R and Python read the words back as the same values.
std::size_t put_special(char* out, double value) {
    if (value == 0.0) return put_word(out, "0.000000E+000");
    if (std::isnan(value)) return put_word(out, "NaN");
    return put_word(out, value < 0 ? "-Inf" : "Inf");
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
        seventeen = seventeen * 10 + (*d - '0');
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

// The fast path covers decimal exponents in this range, where every power of ten it scales by
// is a normal double.
constexpr int kFastExponentLimit = 280;
constexpr int kPowerLimit = kFastExponentLimit + kShownDigits + 1;

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

// The value times 10^(6 - exponent).
double scale_to_seven_digits(double magnitude, int exponent) {
    const int index = kShownDigits - 1 - exponent + kPowerLimit;
    return magnitude * kPowersOfTen[static_cast<std::size_t>(index)];
}

// Decides the seven digits from the value scaled by a power of ten, when that is safe: the
// scaled value is below 1e7 with a relative error under 4e-16, so off by less than 4e-9.
// The 17-digit rounding moves the point where the seventh digit rounds up by at most 5e-11.
// Whenever the digits after the seventh lie within 1e-7 of a half, or the scaling lands off
// its range, the exact path decides instead (false).
bool round_fast(double value, SevenDigits& number) {
    const double magnitude = std::fabs(value);
    const int biased_exponent = static_cast<int>(std::bit_cast<std::uint64_t>(magnitude) >> 52);
    if (biased_exponent == 0) return false;  // subnormal
    // floor(log10(2^b)) for the binary exponent b: the decimal exponent, or one off.
    int exponent = ((biased_exponent - 1023) * 78913) >> 18;
    if (exponent < -kFastExponentLimit || exponent > kFastExponentLimit) return false;

    constexpr double kLow = kSevenDigitLow;
    constexpr double kHigh = kSevenDigitHigh;
    double scaled = scale_to_seven_digits(magnitude, exponent);
    if (scaled >= kHigh) {
        scaled = scale_to_seven_digits(magnitude, ++exponent);
    } else if (scaled < kLow) {
        scaled = scale_to_seven_digits(magnitude, --exponent);
    }
    // Just below 10^6 the digits round up to 1000000 whichever of the two exponents is right.
    if (!(scaled >= kLow - 1e-3 && scaled < kHigh)) return false;

    auto whole = static_cast<std::uint32_t>(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-7) return false;
    if (fraction > 0.5) ++whole;
    if (whole == kSevenDigitHigh) {
        whole = kSevenDigitLow;
        ++exponent;
    }
    number.negative = value < 0;
    number.digits = whole;
    number.exponent = exponent;
    return true;
}

// Characters that format_scientific writes for the value.
std::size_t formatted_length(double value) {
    if (value == 0.0) return 13;
    if (std::isnan(value)) return 3;
    if (std::isinf(value)) return value < 0 ? 4 : 3;
    return value < 0 ? 14 : 13;
}

}  // namespace

std::size_t format_scientific(double value, char* out) {
    if (is_special(value)) return put_special(out, value);
    SevenDigits number;
    if (!round_fast(value, number)) number = round_exactly(value);
    return put_seven_digits(out, number);
}

std::size_t format_scientific_exact(double value, char* out) {
    if (is_special(value)) return put_special(out, value);
    return put_seven_digits(out, round_exactly(value));
}

char* write_number_field(char* out, double value, FieldAlign align) {
    static constexpr char kBlankField[kFieldWidth + 1] = "                ";
    std::memcpy(out, kBlankField, kFieldWidth);
    const std::size_t offset =
        align == FieldAlign::left ? 0 : kFieldWidth - 1 - formatted_length(value);
    format_scientific(value, out + offset);
    return out + kFieldWidth;
}

}  // namespace scantelk
