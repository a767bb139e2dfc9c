// Scanning the model's text report: headings, row shapes and year-led blocks.
#pragma once

#include <initializer_list>
#include <string_view>

#include "store/assessment_data.h"
#include "util/line_reader.h"

namespace scantelk {

// The report stream and its current line. Every line counts; there is no comment rule.
struct ReportReader {
    LineReader lines;
    std::string_view line;
    bool at_end = false;  // a read has found the end of the file; every later read finds it too
};

// Reads the next line into reader.line; false (and an empty line) at end of file.
bool read_report_line(ReportReader& reader);

// Reads up to and including the next line that contains `heading` (exact bytes, anywhere in the
// line). At end of file the section is simply not found, and later searches read nothing.
void find_section(ReportReader& reader, std::string_view heading);

// Reads `count` lines and ignores them.
void skip_lines(ReportReader& reader, long count);

// Reads one line of a year label followed by `count` values. Missing values (a short row or a
// read past the end of the file) are 0.0; tokens after the last value are ignored.
void read_year_row(ReportReader& reader, int count, double* values);

// Reads one line of `count` values. Missing values are 0.0.
void read_plain_row(ReportReader& reader, int count, double* values);

// True when the line's first token begins with a digit.
bool is_digit_led(std::string_view line);

constexpr std::size_t kMaxBlockTables = 3;

// Seeks the next digit-led line and reads the block of digit-led rows that starts there. The row
// for year Y stores its j-th value in column `column` of row Y - first_year of the j-th table.
// Rows for years outside the run are passed over. The block ends at a line that has no token or
// is not digit-led (which is consumed), or at end of file. Takes at most kMaxBlockTables tables.
void read_digit_block(ReportReader& reader, const AssessmentData& data, int column,
                      std::initializer_list<YearTable*> tables);

}  // namespace scantelk
