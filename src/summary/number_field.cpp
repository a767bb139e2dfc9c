#include "summary/number_field.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace scantelk {
namespace {

constexpr int kShownDigits = 7;
constexpr int kExactDigits = 17;

// Copies a literal and returns its length.
std::size_t put_text(char* out, const char* text) {
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return length;
}

// Writes the non-finite values as words that R and Python read back as the same values.
std::size_t format_non_finite(double value, char* out) {
    if (std::isnan(value)) return put_text(out, "NaN");
    return put_text(out, value < 0 ? "-Inf" : "Inf");
}

}  // namespace

std::size_t format_scientific(double value, char* out) {
    if (value == 0.0) return put_text(out, "0.000000E+000");
    if (!std::isfinite(value)) return format_non_finite(value, out);

    // The exact 17-digit form: [-]d.dddddddddddddddde[+-]dd[d]
    char exact[32];
    const auto converted = std::to_chars(exact, exact + sizeof exact, value,
                                         std::chars_format::scientific, kExactDigits - 1);
    const char* p = exact;
    const bool negative = *p == '-';
    if (negative) ++p;

    char digits[kExactDigits];
    digits[0] = p[0];
    std::memcpy(digits + 1, p + 2, kExactDigits - 1);
    const char* exponent_text = p + 2 + (kExactDigits - 1) + 1;  // past the 'e'
    int exponent = 0;
    std::from_chars(exponent_text + 1, converted.ptr, exponent);
    if (*exponent_text == '-') exponent = -exponent;

    // Half up at the seventh digit, carrying leftwards and, from 9.999999..., into the exponent.
    if (digits[kShownDigits] >= '5') {
        int i = kShownDigits - 1;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits[0] = '1';
            ++exponent;
        }
    }

    char* o = out;
    if (negative) *o++ = '-';
    *o++ = digits[0];
    *o++ = '.';
    std::memcpy(o, digits + 1, kShownDigits - 1);
    o += kShownDigits - 1;
    *o++ = 'E';
    *o++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    *o++ = static_cast<char>('0' + magnitude / 100);
    *o++ = static_cast<char>('0' + magnitude / 10 % 10);
    *o++ = static_cast<char>('0' + magnitude % 10);
    return static_cast<std::size_t>(o - out);
}

char* write_number_field(char* out, double value, FieldAlign align) {
    char number[kFieldWidth];
    const std::size_t length = format_scientific(value, number);
    const std::size_t padding = kFieldWidth - 1 - length;
    if (align == FieldAlign::left) {
        std::memcpy(out, number, length);
        std::memset(out + length, ' ', padding + 1);
    } else {
        std::memset(out, ' ', padding);
        std::memcpy(out + padding, number, length);
        out[kFieldWidth - 1] = ' ';
    }
    return out + kFieldWidth;
}

}  // namespace scantelk
