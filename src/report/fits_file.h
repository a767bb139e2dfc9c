// The fits file (--fits): the observed and predicted catch, discards and proportions at age that
// the report holds, as CSV, written as the report is read.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "util/file_io.h"
#include "util/replacement_file.h"

namespace scantelk {

// The four tables of the fits file, in the order they are written.
namespace fits_table {
constexpr std::string_view kCatch = "catch";
constexpr std::string_view kDiscards = "discards";
constexpr std::string_view kCatchProportions = "catch_proportions";
constexpr std::string_view kDiscardProportions = "discard_proportions";
}  // namespace fits_table

// Writes `table,fleet,year,age,observed,predicted` lines with LF ends. A value the report lacked
// is an empty field; numbers are the shortest text that reads back to the same double, or NaN,
// Inf and -Inf. The file replaces an older one only when committed.
class FitsWriter {
  public:
    // Opens the file that will replace `path` and writes the header line; false when it cannot.
    bool open(const std::string& path);

    // One line of a fleet total: `observed` and `predicted` point to the values the row held,
    // or are null where it lacked them.
    void write_total(std::string_view table, int fleet, int year, const double* observed,
                     const double* predicted);

    // One line per age (from 1) of a year's proportions: of each of the two rows, the first
    // `observed_count` or `predicted_count` values are present, the rest lacked.
    void write_proportions(std::string_view table, int fleet, int year,
                           std::span<const double> observed, int observed_count,
                           std::span<const double> predicted, int predicted_count);

    // Writes what is buffered and puts the file in place; false when anything failed.
    bool commit();

    // Drops the new file; an older one stays as it was.
    void abandon();

  private:
    // Room for `length` more bytes in the buffer.
    char* reserve(std::size_t length);
    void flush();
    char* put_key(char* out, std::string_view table, int fleet, int year);

    ReplacementFile file_;
    BlockBuffer buffer_;
    std::size_t used_ = 0;
};

}  // namespace scantelk
