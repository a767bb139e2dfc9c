#include "report/report_scan.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "util/number_parse.h"
#include "util/tokens.h"

namespace scantelk {
namespace {

// The table row of a year, when the year lies inside the run. The year is compared before
// anything is subtracted, so no year text and no first year can overflow.
bool row_of_year(std::string_view year_digits, const AssessmentData& data, int& row) {
    const std::int64_t year = parse_leading_digits(year_digits);
    const int last_year = data.first_year + data.n_years - 1;
    if (year < data.first_year || year > last_year) return false;
    row = static_cast<int>(year - data.first_year);
    return true;
}

// True when the label reads as `year` by the integer rule; a label without digits names no year.
bool names_year(std::string_view label, int year) {
    const std::string_view written = integer_text(label);
    return !written.empty() && is_decimal_digit(written.back()) && parse_integer(written) == year;
}

// True when some value is infinite or NaN, which has all its exponent bits set: only then can a
// token have been one of their spellings. Integer operations only, so a row costs next to nothing.
bool any_non_finite(std::span<const double> values) {
    constexpr std::uint64_t kExponentBits = 0x7FF0000000000000;
    bool found = false;
    for (const double value : values)
        found |= (std::bit_cast<std::uint64_t>(value) & kExponentBits) == kExponentBits;
    return found;
}

}  // namespace

bool is_digit_led(std::string_view line) {
    const std::string_view token = next_token(line);
    return !token.empty() && is_decimal_digit(token.front());
}

ReportReader::ReportReader(const AssessmentData& data, ReportFindings& findings,
                           std::span<const ReportSection> catalogue, MissingValues missing)
    : data_(data),
      findings_(findings),
      missing_value_(missing == MissingValues::nan ? std::numeric_limits<double>::quiet_NaN()
                                                   : 0.0),
      catalogue_(catalogue),
      write_missing_(missing == MissingValues::nan) {}

bool ReportReader::open(const std::string& path) {
    at_end_ = false;
    line_ = std::string_view();
    return lines_.open(path.c_str());
}

bool ReportReader::read_line() {
    if (!at_end_ && lines_.read_line(line_)) return true;
    at_end_ = true;
    line_ = std::string_view();
    return false;
}

// The first heading of a later section that the line holds, or none. A digit-led line is a row
// of numbers, never a heading, and is not searched: that keeps the test off nearly every line.
std::string_view ReportReader::later_heading_in(std::string_view line) const {
    if (is_digit_led(line)) return {};
    for (const ReportSection& later : later_) {
        if (line.find(later.heading) != std::string_view::npos) return later.heading;
    }
    return {};
}

// Reads a line of the current section. A line that holds a later section's heading ends the
// section: it is given back for that section's search, and the section reads no further line.
bool ReportReader::read_section_line() {
    if (section_over_ || !read_line()) return false;
    const std::string_view later = later_heading_in(line_);
    if (later.empty()) return true;
    early_end_line_ = lines_.line_number();
    early_end_heading_ = later;
    lines_.unread_line();
    line_ = std::string_view();
    section_over_ = true;
    return false;
}

// Reads a line that the current section needs. A section that ended early at a later heading,
// or a found section inside which the file ends, is named once.
bool ReportReader::read_needed_line() {
    if (read_section_line()) return true;
    if (early_end_line_ != 0) {
        findings_.section_ends_early(section_, early_end_line_, early_end_heading_);
        early_end_line_ = 0;
    } else if (in_section_ && at_end_) {
        findings_.file_ends_inside(section_, lines_.line_number());
    }
    return false;
}

void ReportReader::set_section(const ReportSection& section) {
    section_ = section;
    const auto position =
        std::find_if(catalogue_.begin(), catalogue_.end(),
                     [&](const ReportSection& entry) { return entry.role == section.role; });
    later_ = position == catalogue_.end()
                 ? std::span<const ReportSection>()
                 : catalogue_.subspan(static_cast<std::size_t>(position - catalogue_.begin()) + 1);
    in_section_ = false;
    section_over_ = false;
    early_end_line_ = 0;
    label_finding_ = false;
}

void ReportReader::find_section(const ReportSection& section) {
    set_section(section);
    const std::int64_t lines_before = lines_.line_number();
    in_section_ = search_heading(section);
    if (in_section_) return;
    section_over_ = true;
    findings_.section_not_found(section, lines_before);
}

// True when the heading is found, its line consumed. The search gives up at the next section's
// heading, leaving that line to its own search; at the end of the file, it returns to where it
// began.
bool ReportReader::search_heading(const ReportSection& section) {
    if (at_end_) return false;
    const std::string_view next = later_.empty() ? std::string_view() : later_.front().heading;
    lines_.mark();
    while (read_line()) {
        if (line_.find(section.heading) != std::string_view::npos) {
            lines_.release_mark();
            return true;
        }
        if (!next.empty() && line_.find(next) != std::string_view::npos) {
            lines_.release_mark();
            lines_.unread_line();
            line_ = std::string_view();
            return false;
        }
    }
    lines_.rewind();
    at_end_ = false;
    return false;
}

void ReportReader::skip_lines(std::int64_t count) {
    for (std::int64_t n = 0; n < count; ++n) {
        if (!read_needed_line()) return;
    }
}

void ReportReader::note_short_row(int found, int expected) {
    if (found < expected) findings_.short_row(lines_.line_number(), found, expected);
}

// After the first row of a section whose label names another year, the rows are out of step, and
// naming every later one would only repeat it.
void ReportReader::check_label(std::string_view label, int row) {
    if (label.empty() || label_finding_) return;
    const int year = data_.first_year + row;
    if (names_year(label, year)) return;
    label_finding_ = true;
    findings_.row_labelled(lines_.line_number(), label, year);
}

// Names the values, converted from `tokens` in order, that the report wrote as a spelling of
// infinity or NaN.
void ReportReader::check_values(std::string_view tokens, std::span<const double> values) {
    if (!any_non_finite(values)) return;
    for (const double value : values) {
        const std::string_view token = next_token(tokens);
        if (!std::isfinite(value) && spells_non_number(token))
            findings_.not_a_number(lines_.line_number(), token);
    }
}

// Converts the tokens into `values`; those missing from a short row are missing values.
// Returns how many tokens there were.
int ReportReader::take_values(std::string_view tokens, std::span<double> values) {
    const int found = take_decimals(tokens, static_cast<int>(values.size()), values.data());
    std::fill(values.begin() + found, values.end(), missing_value_);
    row_value_count_ = found;
    row_rest_ = tokens;
    return found;
}

void ReportReader::forget_row() {
    row_value_count_ = 0;
    row_rest_ = std::string_view();
}

// Past the end of the file: false when a missing value keeps the allocation's zero, so that the
// row is not written at all (writing zeros over the allocation's would make memory resident for
// a report that filled nothing); otherwise the values become missing values.
bool ReportReader::fill_missing(std::span<double> values) const {
    if (!write_missing_) return false;
    std::fill(values.begin(), values.end(), missing_value_);
    return true;
}

bool ReportReader::read_year_values(int row, std::span<double> values) {
    forget_row();
    if (!read_needed_line()) return false;
    std::string_view rest = line_;
    const std::string_view label = next_token(rest);
    check_label(label, row);
    const int found = take_values(rest, values);
    note_short_row((label.empty() ? 0 : 1) + found, 1 + static_cast<int>(values.size()));
    check_values(rest, values.first(static_cast<std::size_t>(found)));
    return true;
}

bool ReportReader::read_plain_values(std::span<double> values) {
    forget_row();
    if (!read_needed_line()) return false;
    const int found = take_values(line_, values);
    note_short_row(found, static_cast<int>(values.size()));
    check_values(line_, values.first(static_cast<std::size_t>(found)));
    return true;
}

void ReportReader::read_year_row(YearTable& table, int row, int first_column, int count) {
    row_values_.resize(static_cast<std::size_t>(count_of(count)));
    if (read_year_values(row, row_values_) || fill_missing(row_values_))
        table.set_row(row, first_column, row_values_);
}

void ReportReader::read_year_row(int row, std::span<double> values) {
    if (!read_year_values(row, values)) fill_missing(values);
}

void ReportReader::read_plain_row(YearTable& table, int row, int first_column, int count) {
    row_values_.resize(static_cast<std::size_t>(count_of(count)));
    if (read_plain_values(row_values_) || fill_missing(row_values_))
        table.set_row(row, first_column, row_values_);
}

int ReportReader::read_label_row(std::span<double> values) {
    forget_row();
    if (!read_needed_line()) return 0;
    const std::size_t equals = line_.find('=');
    std::string_view rest =
        equals == std::string_view::npos ? std::string_view() : line_.substr(equals);
    // The '=' and any blanks or further '=' after it lead to the first value.
    while (!rest.empty() && (rest.front() == '=' || is_token_delimiter(rest.front())))
        rest.remove_prefix(1);
    const std::string_view tokens = rest;
    const int expected = static_cast<int>(values.size());
    const int found = take_decimals(rest, expected, values.data());
    if (found < expected) {
        findings_.short_row(lines_.line_number(), found, expected,
                            ReportFindings::MissingShown::empty);
    }
    check_values(tokens, values.first(static_cast<std::size_t>(found)));
    return found;
}

void ReportReader::read_digit_block(int column, std::span<YearTable* const> tables) {
    block_rows_.assign(static_cast<std::size_t>(count_of(data_.n_years)), 0);
    block_row_count_ = 0;
    while (read_needed_line()) {
        if (is_digit_led(line_)) {
            read_digit_rows(column, tables);
            break;
        }
    }
    if (write_missing_) mark_missing_years(column, tables);
}

void ReportReader::read_digit_rows(int column, std::span<YearTable* const> tables) {
    do {
        read_digit_row(column, tables);
    } while (read_section_line() && is_digit_led(line_));
}

// One row of a digit-led block, the current line.
void ReportReader::read_digit_row(int column, std::span<YearTable* const> tables) {
    std::string_view rest = line_;
    const std::string_view year_digits = leading_digits_text(next_token(rest));
    int row = 0;
    if (!row_of_year(year_digits, data_, row)) {
        findings_.year_outside_run(lines_.line_number(), year_digits, data_.first_year,
                                   data_.first_year + data_.n_years - 1);
        return;
    }
    note_repeated_year(row, column);
    row_values_.resize(tables.size());
    const int found = take_values(rest, row_values_);
    for (std::size_t j = 0; j < tables.size(); ++j)
        tables[j]->at(row, column) = row_values_[j];
    note_short_row(1 + found, 1 + static_cast<int>(tables.size()));
    check_values(rest, std::span(row_values_).first(static_cast<std::size_t>(found)));
}

// A year that already had a row in the block: the new row replaces it, and that is named.
void ReportReader::note_repeated_year(int row, int column) {
    std::int64_t& row_line = block_rows_[static_cast<std::size_t>(row)];
    if (row_line == 0) {
        ++block_row_count_;
    } else {
        findings_.year_repeated(lines_.line_number(), data_.first_year + row, column + 1, row_line);
    }
    row_line = lines_.line_number();
}

void ReportReader::mark_missing_years(int column, std::span<YearTable* const> tables) {
    if (!block_lacks_years()) return;
    for (YearTable* table : tables) {
        double* const cells = table->column(column);
        for (std::size_t r = 0; r < block_rows_.size(); ++r) {
            if (block_rows_[r] == 0) cells[r] = missing_value_;
        }
    }
}

}  // namespace scantelk
