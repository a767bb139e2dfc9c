#include "fields.h"

#include <stdlib.h>
#include <string.h>

#include <R_ext/Arith.h>

/* Powers of ten that a double holds exactly. */
static const double exact_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
enum { LARGEST_EXACT_POWER = 22 };

/* The smallest and the largest magnitude that a double shows in seven digits, as exponent and
   mantissa: 4.940656E-324 and 1.797693E+308. */
static const long smallest_exponent = -324, smallest_mantissa = 4940656;
static const long largest_exponent = 308, largest_mantissa = 1797693;

/* The value of the `count` digits at `text`, or -1 when one is not a digit. */
static long digits_value(const unsigned char* text, int count) {
    long value = 0;
    for (int n = 0; n < count; ++n) {
        if (text[n] < '0' || text[n] > '9') return -1;
        value = 10 * value + (text[n] - '0');
    }
    return value;
}

static int shows_as_double(long exponent, long mantissa) {
    if (exponent != smallest_exponent && exponent != largest_exponent)
        return exponent > smallest_exponent && exponent < largest_exponent;
    return exponent == smallest_exponent ? mantissa >= smallest_mantissa
                                         : mantissa <= largest_mantissa;
}

/* The seven digits make an integer mantissa m and the exponent e gives m * 10^(e - 6); where
   10^|e - 6| is exact, one product or quotient of two exact doubles is correctly rounded.
   strtod rounds the rare rest correctly. */
static double nearest_double(const unsigned char* text, long mantissa, long exponent) {
    const long scale = exponent - 6;
    if (scale >= 0 && scale <= LARGEST_EXACT_POWER) return (double)mantissa * exact_powers[scale];
    if (scale < 0 && scale >= -LARGEST_EXACT_POWER) return (double)mantissa / exact_powers[-scale];
    char copy[NUMBER_LENGTH + 1];
    memcpy(copy, text, NUMBER_LENGTH);
    copy[NUMBER_LENGTH] = '\0';
    return strtod(copy, NULL);
}

/* d.ddddddE+ddd at `text` (13 bytes): a first digit of 1 to 9, no exponent -000 and a
   magnitude that a double shows; or 0.000000E+000. */
static int parse_number(const unsigned char* text, double* value) {
    const long lead = digits_value(text, 1);
    const long rest = digits_value(text + 2, 6);
    const long magnitude = digits_value(text + 10, 3);
    if (lead < 0 || text[1] != '.' || rest < 0 || text[8] != 'E' ||
        (text[9] != '+' && text[9] != '-') || magnitude < 0)
        return 0;
    const long mantissa = lead * 1000000 + rest;
    const long exponent = text[9] == '-' ? -magnitude : magnitude;
    if (lead == 0) {
        *value = 0.0;
        return mantissa == 0 && text[9] == '+' && magnitude == 0;
    }
    if ((text[9] == '-' && magnitude == 0) || !shows_as_double(exponent, mantissa)) return 0;
    *value = nearest_double(text, mantissa, exponent);
    return 1;
}

static int all_spaces(const unsigned char* text, int count) {
    for (int n = 0; n < count; ++n)
        if (text[n] != ' ') return 0;
    return 1;
}

/* NaN, Inf or -Inf, padded as the field's number would be. */
static int parse_word(const unsigned char* field, int right_justified, double* value) {
    static const char* const words[] = {"NaN", "Inf", "-Inf"};
    const double values[] = {R_NaN, R_PosInf, R_NegInf};
    for (int w = 0; w < 3; ++w) {
        const int length = (int)strlen(words[w]);
        const int start = right_justified ? FIELD_WIDTH - 1 - length : 0;
        if (memcmp(field + start, words[w], (size_t)length) == 0 && all_spaces(field, start) &&
            all_spaces(field + start + length, FIELD_WIDTH - start - length)) {
            *value = values[w];
            return 1;
        }
    }
    return 0;
}

int parse_field(const unsigned char* field, int right_justified, double* value) {
    /* Left: [-]number, then the spaces. Right: a space, a space or '-', number, a space. */
    const int negative = field[right_justified] == '-';
    const int start = right_justified ? 2 : negative;
    const int padded = right_justified ? field[0] == ' ' && (negative || field[1] == ' ')
                                       : all_spaces(field + start + NUMBER_LENGTH,
                                                    FIELD_WIDTH - start - NUMBER_LENGTH);
    if (padded && field[FIELD_WIDTH - 1] == ' ' && parse_number(field + start, value)) {
        if (negative) {
            if (*value == 0.0) return 0; /* the writer's zero has no sign */
            *value = -*value;
        }
        return 1;
    }
    return parse_word(field, right_justified, value);
}
