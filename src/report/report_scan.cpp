#include "report/report_scan.h"

#include <algorithm>
#include <cstdint>

#include "util/number_parse.h"
#include "util/tokens.h"

namespace scantelk {
namespace {

// Converts the next `count` tokens of `rest` into values; missing ones give 0.0. Returns how
// many tokens there were.
int take_values(std::string_view rest, int count, double* values) {
    const int j = take_decimals(rest, count, values);
    if (j < count) std::fill(values + j, values + count, 0.0);
    return j;
}

// Reads a line that the current section needs; at end of file, notes that the file ended
// inside a section whose heading was found.
bool read_needed_line(ReportReader& reader) {
    if (read_report_line(reader)) return true;
    if (reader.in_section) {
        reader.findings.file_ends_inside(reader.section, reader.lines.line_number());
    }
    return false;
}

void note_short_row(ReportReader& reader, int found, int expected) {
    if (found < expected) reader.findings.short_row(reader.lines.line_number(), found, expected);
}

// The table row of a year, when the year lies inside the run. The year is compared before
// anything is subtracted, so no year text and no first year can overflow.
bool row_of_year(std::string_view year_digits, const AssessmentData& data, int& row) {
    const std::int64_t year = parse_leading_digits(year_digits);
    const int last_year = data.first_year + data.n_years - 1;
    if (year < data.first_year || year > last_year) return false;
    row = static_cast<int>(year - data.first_year);
    return true;
}

// One row of a digit-led block, the current line.
void read_digit_row(ReportReader& reader, const AssessmentData& data, int column,
                    std::span<YearTable* const> tables) {
    std::string_view rest = reader.line;
    const std::string_view year_digits = leading_digits_text(next_token(rest));
    int row = 0;
    if (!row_of_year(year_digits, data, row)) {
        reader.findings.year_outside_run(reader.lines.line_number(), year_digits, data.first_year,
                                         data.first_year + data.n_years - 1);
        return;
    }
    int found = 0;
    for (YearTable* table : tables) {
        const std::string_view token = next_token(rest);
        if (!token.empty()) ++found;
        table->at(row, column) = token.empty() ? 0.0 : parse_decimal(token);
    }
    note_short_row(reader, 1 + found, 1 + static_cast<int>(tables.size()));
}

}  // namespace

bool read_report_line(ReportReader& reader) {
    if (!reader.at_end && reader.lines.read_line(reader.line)) return true;
    reader.at_end = true;
    reader.line = std::string_view();
    return false;
}

void find_section(ReportReader& reader, const ReportSection& section) {
    const long lines_before = reader.lines.line_number();
    reader.section = section;
    reader.in_section = false;
    while (read_report_line(reader)) {
        if (reader.line.find(section.heading) != std::string_view::npos) {
            reader.in_section = true;
            return;
        }
    }
    reader.findings.section_not_found(section, lines_before);
}

void skip_lines(ReportReader& reader, long count) {
    for (long n = 0; n < count; ++n) {
        if (!read_needed_line(reader)) return;
    }
}

bool read_year_row(ReportReader& reader, int count, double* values) {
    if (!read_needed_line(reader)) return false;
    std::string_view rest = reader.line;
    const int year_found = next_token(rest).empty() ? 0 : 1;  // the label itself is not used
    const int found = take_values(rest, count, values);
    note_short_row(reader, year_found + found, 1 + count);
    return true;
}

void read_year_row(ReportReader& reader, YearTable& table, int row, int first_column, int count) {
    reader.row_values.resize(static_cast<std::size_t>(count_of(count)));
    if (read_year_row(reader, count, reader.row_values.data()))
        table.set_row(row, first_column, reader.row_values);
}

void read_plain_row(ReportReader& reader, YearTable& table, int row, int first_column, int count) {
    if (!read_needed_line(reader)) return;
    reader.row_values.resize(static_cast<std::size_t>(count_of(count)));
    note_short_row(reader, take_values(reader.line, count, reader.row_values.data()), count);
    table.set_row(row, first_column, reader.row_values);
}

bool is_digit_led(std::string_view line) {
    const std::string_view token = next_token(line);
    return !token.empty() && is_decimal_digit(token.front());
}

bool seek_digit_led_line(ReportReader& reader) {
    while (read_needed_line(reader)) {
        if (is_digit_led(reader.line)) return true;
    }
    return false;
}

void read_digit_rows(ReportReader& reader, const AssessmentData& data, int column,
                     std::span<YearTable* const> tables) {
    do {
        read_digit_row(reader, data, column, tables);
    } while (read_report_line(reader) && is_digit_led(reader.line));
}

void read_digit_block(ReportReader& reader, const AssessmentData& data, int column,
                      std::span<YearTable* const> tables) {
    if (seek_digit_led_line(reader)) read_digit_rows(reader, data, column, tables);
}

}  // namespace scantelk
