// General helper routines: text case and trimming, date and time stamps, value*count tokens,
// matrix product, ascending sort, mean and standard deviations. No stage of a run calls them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scantelk {

// Upper-cases the letters a-z of the NUL-terminated text in place; returns the text.
char* str_upper(char* text);

// Lower-cases the letters A-Z of the NUL-terminated text in place; returns the text.
char* str_lower(char* text);

// Cuts trailing white space by writing a NUL after the last other byte, and returns a pointer
// past the leading white space (which stays in the buffer). Any text length works.
char* str_trim(char* text);

// Writes today's local date as "06 Dec 2026" into a buffer of at least 12 bytes; returns the
// number of characters written (11, or 0 if the clock or time zone cannot be read).
std::size_t date_stamp(char* out);

// Writes the local time as "21:15" into a buffer of at least 6 bytes; returns the number of
// characters written (5, or 0 if the clock or time zone cannot be read).
std::size_t time_stamp(char* out);

// Splits a value*count token at its first '*' (which it overwrites with a NUL), stores the value
// and returns the count's low 16 bits as a signed number. A token without '*' stores 0.0,
// returns 0 and stays as it was.
std::int16_t parse_repeat(char* token, double* value);

// result = first (rows x inner) times second (inner x columns). The result must share no storage
// with either factor. Dimensions of 0 or less run their loops no times.
void mat_multiply(std::int16_t rows, std::int16_t inner, std::int16_t columns,
                  const double* const* first, const double* const* second, double* const* result);

// Sorts the doubles ascending in place by an exchange sort; equal values are never exchanged.
// NaNs go after every number.
void sort_ascending(std::int32_t count, double* values);

// The arithmetic mean; a count of 0 gives NaN.
double mean_of(std::int32_t count, const double* values);

// Standard deviation about the caller's mean, with divisor count - 1.
double std_dev_sample(std::int32_t count, double mean, const double* values);

// Standard deviation about the caller's mean, with divisor count.
double std_dev_population(std::int32_t count, double mean, const double* values);

}  // namespace scantelk
