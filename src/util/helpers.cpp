#include "util/helpers.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

#include "util/number_parse.h"

namespace scantelk {
namespace {

// The classic locale's white space: tab, line feed, vertical tab, form feed, carriage return,
// space.
bool is_white_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::size_t format_now(char* out, std::size_t limit, const char* format) {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) {
        out[0] = '\0';
        return 0;
    }
    return std::strftime(out, limit, format, local);
}

// Orders NaN after every number, so the sort is well defined whatever the data.
bool sorts_before(double a, double b) {
    if (std::isnan(a)) return false;
    return std::isnan(b) || a < b;
}

double sum_of_squares(std::int32_t count, double mean, const double* values) {
    double sum = 0.0;
    for (std::int32_t n = 0; n < count; ++n) {
        const double d = values[n] - mean;
        sum = d * d + sum;
    }
    return sum;
}

}  // namespace

char* str_upper(char* text) {
    for (char* p = text; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    }
    return text;
}

char* str_lower(char* text) {
    for (char* p = text; *p != '\0'; ++p) {
        if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
    }
    return text;
}

char* str_trim(char* text) {
    char* start = text;
    while (is_white_space(*start))
        ++start;
    std::size_t length = std::strlen(start);
    while (length > 0 && is_white_space(start[length - 1]))
        --length;
    start[length] = '\0';
    return start;
}

std::size_t date_stamp(char* out) {
    return format_now(out, 12, "%d %b %Y");
}

std::size_t time_stamp(char* out) {
    return format_now(out, 6, "%H:%M");
}

std::int16_t parse_repeat(char* token, double* value) {
    std::uint16_t count = 0;
    *value = 0.0;
    char* star = std::strchr(token, '*');
    if (star != nullptr) {
        // As atoi reads it, but wrapping modulo 2^16 instead of overflowing.
        const char* p = star + 1;
        while (is_white_space(*p))
            ++p;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        for (; *p >= '0' && *p <= '9'; ++p) {
            count = static_cast<std::uint16_t>(count * 10u + static_cast<unsigned>(*p - '0'));
        }
        if (negative) count = static_cast<std::uint16_t>(0u - count);
        *star = '\0';
        const char* number = token;
        while (is_white_space(*number))
            ++number;
        *value = parse_decimal(number);
    }
    return static_cast<std::int16_t>(count);
}

void mat_multiply(std::int16_t rows, std::int16_t inner, std::int16_t columns,
                  const double* const* first, const double* const* second, double* const* result) {
    for (std::int16_t i = 0; i < rows; ++i) {
        for (std::int16_t j = 0; j < columns; ++j) {
            double sum = 0.0;
            for (std::int16_t k = 0; k < inner; ++k)
                sum = first[i][k] * second[k][j] + sum;
            result[i][j] = sum;
        }
    }
}

void sort_ascending(std::int32_t count, double* values) {
    for (std::int32_t i = 0; i < count; ++i) {
        for (std::int32_t j = i + 1; j < count; ++j) {
            if (sorts_before(values[j], values[i])) std::swap(values[i], values[j]);
        }
    }
}

double mean_of(std::int32_t count, const double* values) {
    double sum = 0.0;
    for (std::int32_t n = 0; n < count; ++n)
        sum = sum + values[n];
    return sum / static_cast<double>(count);
}

double std_dev_sample(std::int32_t count, double mean, const double* values) {
    return std::sqrt(sum_of_squares(count, mean, values) /
                     static_cast<double>(std::int64_t{count} - 1));
}

double std_dev_population(std::int32_t count, double mean, const double* values) {
    return std::sqrt(sum_of_squares(count, mean, values) / static_cast<double>(count));
}

}  // namespace scantelk
