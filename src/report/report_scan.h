// Scanning the model's text report: headings, row shapes and year-led blocks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/report_findings.h"
#include "store/assessment_data.h"
#include "util/line_reader.h"

namespace scantelk {

// True when the line's first token begins with a digit.
bool is_digit_led(std::string_view line);

// Reads the model's text report front to back: finds sections by their headings and reads the
// rows of the shapes they hold, noting in `findings` what the report lacked or held out of
// place. Every line counts; there is no comment rule. The run's dimensions come from `data`.
class ReportReader {
  public:
    // `catalogue` lists every section in the order they are read: a section ends early at a
    // line that holds the heading of a section after it, and a search for one stops at the
    // heading of the one that follows it.
    ReportReader(const AssessmentData& data, ReportFindings& findings,
                 std::span<const ReportSection> catalogue = {},
                 MissingValues missing = MissingValues::zero);

    // False when the file cannot be opened.
    bool open(const std::string& path);

    // True when reading stopped on an error of the device rather than at end of file.
    bool read_failed() const { return lines_.read_failed(); }

    // Reads the next line; false (and an empty line) at end of file and on every read after it.
    bool read_line();
    std::string_view line() const { return line_; }
    bool at_end() const { return at_end_; }

    // Reads up to and including the next line that contains the section's heading (exact bytes,
    // anywhere in the line). The search stops unfound before a line that holds the heading of the
    // next section in the catalogue. A search that reaches the end of the file without finding
    // the heading returns to where it began, so that a missing section costs only itself; once
    // the file has ended inside a found section, every later search reads nothing.
    void find_section(const ReportSection& section);
    bool section_found() const { return in_section_; }

    // Reads `count` lines and ignores them.
    void skip_lines(std::int64_t count);

    // Reads row `row` of a block of year rows: a label, which should name year first_year + row,
    // then `count` values, stored in that row of `table` from column `first_column` on. Tokens
    // after the values are ignored. Values missing from a short row, and every value of a row
    // past the end of the file, are missing values.
    void read_year_row(YearTable& table, int row, int first_column, int count);

    // The same into `values`, which past the end of the file are left as they are unless
    // missing values are written.
    void read_year_row(int row, std::span<double> values);

    // Reads a row of `count` values only, as read_year_row does.
    void read_plain_row(YearTable& table, int row, int first_column, int count);

    // How many values the last year or plain row held of those it took (0 when the row was
    // past the end of its section), and the text of that row after them.
    int row_value_count() const { return row_value_count_; }
    std::string_view row_rest() const { return row_rest_; }

    // Reads a label row: a label, an '=', then up to values.size() values into `values`.
    // Returns how many there were; a row without '=' has none, and past the end of the section
    // there is no row. A short row is named with its missing values as empty fields.
    int read_label_row(std::span<double> values);

    // Seeks the next digit-led line and reads the block of digit-led rows that starts there. The
    // row for year Y stores its j-th value in column `column` of row Y - first_year of the j-th
    // table; rows for years outside the run are passed over. The block ends at a line that has no
    // token or is not digit-led (which is consumed), or at end of file. The run's years without
    // a row in the block are missing values of the column.
    void read_digit_block(int column, std::span<YearTable* const> tables);

    // Per model year, the line of the last digit-led block's row for it; 0 when it had none.
    std::span<const std::int64_t> block_rows() const { return block_rows_; }
    bool block_lacks_years() const { return block_row_count_ < count_of(data_.n_years); }

  private:
    bool read_section_line();
    bool read_needed_line();
    bool ends_section_early();
    std::string_view later_heading_in(std::string_view line) const;
    void set_section(const ReportSection& section);
    bool search_heading(const ReportSection& section);
    void note_short_row(int found, int expected);
    void check_label(std::string_view label, int row);
    void check_values(std::string_view tokens, std::span<const double> values);
    int take_values(std::string_view tokens, std::span<double> values);
    void forget_row();
    bool fill_missing(std::span<double> values) const;
    bool read_year_values(int row, std::span<double> values);
    bool read_plain_values(std::span<double> values);
    void read_digit_rows(int column, std::span<YearTable* const> tables);
    void read_digit_row(int column, std::span<YearTable* const> tables);
    void note_repeated_year(int row, int column);
    void mark_missing_years(int column, std::span<YearTable* const> tables);

    const AssessmentData& data_;
    ReportFindings& findings_;
    double missing_value_;  // what a cell the report lacks is written as
    std::span<const ReportSection> catalogue_;

    LineReader lines_;
    std::string_view line_;
    ReportSection section_;                 // the section being read
    std::span<const ReportSection> later_;  // the sections after it in the catalogue
    std::int64_t early_end_line_ = 0;     // the line holding a later heading that ended it, if any
    std::string_view early_end_heading_;  // that heading
    std::vector<double> row_values_;      // one row's values on their way into a table
    std::string_view row_rest_;
    std::vector<std::int64_t> block_rows_;
    int row_value_count_ = 0;
    int block_row_count_ = 0;
    bool write_missing_;   // false when it keeps the allocation's zero and is not written at all
    bool at_end_ = false;  // a read has found the end of the file
    bool in_section_ = false;     // its heading was found, so the lines it needs must be there
    bool section_over_ = false;   // no further line belongs to it: not found, or ended early
    bool label_finding_ = false;  // the section's rows are out of step: named once already
};

}  // namespace scantelk
