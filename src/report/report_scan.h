// Scanning the model's text report: headings, row shapes and year-led blocks.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "report/report_findings.h"
#include "store/assessment_data.h"
#include "util/line_reader.h"

namespace scantelk {

// The report stream, its current line and what the reading found lacking. Every line counts;
// there is no comment rule.
struct ReportReader {
    LineReader lines;
    std::string_view line;
    bool at_end = false;      // a read has found the end of the file; every later read finds it too
    ReportSection section;    // the section being read
    bool in_section = false;  // its heading was found, so the lines it needs must be there
    ReportFindings findings;
    std::vector<double> row_values;  // one row's values on their way into a table
};

// Reads the next line into reader.line; false (and an empty line) at end of file.
bool read_report_line(ReportReader& reader);

// Reads up to and including the next line that contains the section's heading (exact bytes,
// anywhere in the line). At end of file the section is simply not found, and later searches
// read nothing.
void find_section(ReportReader& reader, const ReportSection& section);

// Reads `count` lines and ignores them.
void skip_lines(ReportReader& reader, long count);

// Reads one line of a year label followed by `count` values. Values missing from a short row
// are 0.0; tokens after the last value are ignored. Past the end of the file the values are left
// as they are and the result is false.
bool read_year_row(ReportReader& reader, int count, double* values);

// Reads a year row into row `row` of `table`, from column `first_column` on. Past the end of the
// file the table is not touched: it still holds the allocation's zeros there, and writing zeros
// over them would make memory resident for a report that filled nothing.
void read_year_row(ReportReader& reader, YearTable& table, int row, int first_column, int count);

// Reads one line of `count` values into a table row, as read_year_row does.
void read_plain_row(ReportReader& reader, YearTable& table, int row, int first_column, int count);

// True when the line's first token begins with a digit.
bool is_digit_led(std::string_view line);

// Reads up to and including the next digit-led line; false at end of file.
bool seek_digit_led_line(ReportReader& reader);

// Reads the block of digit-led rows that starts at the current line. The row for year Y stores
// its j-th value in column `column` of row Y - first_year of the j-th table; rows for years
// outside the run are passed over. The block ends at a line that has no token or is not
// digit-led (which is consumed), or at end of file.
void read_digit_rows(ReportReader& reader, const AssessmentData& data, int column,
                     std::span<YearTable* const> tables);

// Seeks the next digit-led line and reads the block that starts there.
void read_digit_block(ReportReader& reader, const AssessmentData& data, int column,
                      std::span<YearTable* const> tables);

}  // namespace scantelk
