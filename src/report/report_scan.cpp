#include "report/report_scan.h"

#include <algorithm>
#include <cstdint>

#include "util/number_parse.h"
#include "util/tokens.h"

namespace scantelk {
namespace {

// Converts the next `count` tokens of `rest` into values; missing ones give 0.0.
void take_values(std::string_view rest, int count, double* values) {
    int j = 0;
    for (; j < count; ++j) {
        const std::string_view token = next_token(rest);
        if (token.empty()) break;
        values[j] = parse_decimal(token);
    }
    if (j < count) std::fill(values + j, values + count, 0.0);
}

}  // namespace

bool read_report_line(ReportReader& reader) {
    if (!reader.at_end && reader.lines.read_line(reader.line)) return true;
    reader.at_end = true;
    reader.line = std::string_view();
    return false;
}

void find_section(ReportReader& reader, std::string_view heading) {
    while (read_report_line(reader)) {
        if (reader.line.find(heading) != std::string_view::npos) return;
    }
}

void skip_lines(ReportReader& reader, long count) {
    for (long n = 0; n < count; ++n) {
        if (!read_report_line(reader)) return;
    }
}

void read_year_row(ReportReader& reader, int count, double* values) {
    read_report_line(reader);
    std::string_view rest = reader.line;
    next_token(rest);  // the year label is not used
    take_values(rest, count, values);
}

void read_plain_row(ReportReader& reader, int count, double* values) {
    read_report_line(reader);
    take_values(reader.line, count, values);
}

bool is_digit_led(std::string_view line) {
    const std::string_view token = next_token(line);
    return !token.empty() && token.front() >= '0' && token.front() <= '9';
}

void read_digit_block(ReportReader& reader, const AssessmentData& data, int column,
                      std::initializer_list<YearTable*> tables) {
    bool found = false;
    while (!found && read_report_line(reader))
        found = is_digit_led(reader.line);

    double values[kMaxBlockTables];
    const int count = static_cast<int>(std::min(tables.size(), kMaxBlockTables));
    while (found) {
        std::string_view rest = reader.line;
        const std::int64_t row = parse_leading_digits(next_token(rest)) - data.first_year;
        if (row >= 0 && row < data.n_years) {
            take_values(rest, count, values);
            for (int j = 0; j < count; ++j) {
                (*tables.begin()[j])[static_cast<int>(row)][column] = values[j];
            }
        }
        found = read_report_line(reader) && is_digit_led(reader.line);
    }
}

}  // namespace scantelk
