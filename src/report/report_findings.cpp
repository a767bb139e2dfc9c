#include "report/report_findings.h"

namespace scantelk {
namespace {

std::string quoted_section(const ReportSection& section) {
    std::string text = "section \"";
    text.append(section.heading).append("\" (").append(section.role).append(")");
    return text;
}

}  // namespace

std::string shown_text(std::string_view text) {
    constexpr std::size_t kShownBytes = 40;
    constexpr char kHexDigits[] = "0123456789abcdef";
    std::string shown;
    for (const char c : text.substr(0, kShownBytes)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHexDigits[byte >> 4];
            shown += kHexDigits[byte & 0xF];
        } else {
            shown += c;
        }
    }
    if (text.size() > kShownBytes) shown += "...";
    return shown;
}

void ReportFindings::older_than(std::string_view input_path) {
    std::string text = path_ + ": warning: older than ";
    text.append(input_path).append("; it may be from an earlier run");
    lines_.push_back(std::move(text));
}

void ReportFindings::section_not_found(const ReportSection& section, std::int64_t lines_before) {
    add_lack(path_ + ": warning: " + quoted_section(section) + " not found after line " +
             std::to_string(lines_before));
}

void ReportFindings::file_ends_inside(const ReportSection& section, std::int64_t line_count) {
    if (noted_file_end_) return;
    noted_file_end_ = true;
    add_lack(path_ + ": warning: file ends at line " + std::to_string(line_count) + " inside " +
             quoted_section(section));
}

void ReportFindings::section_ends_early(const ReportSection& section, std::int64_t line,
                                        std::string_view later_heading) {
    std::string text = path_ + ":" + std::to_string(line) +
                       ": warning: " + quoted_section(section) + " ends early at the heading \"";
    text.append(later_heading).append("\"");
    add_lack(std::move(text));
}

void ReportFindings::short_row(std::int64_t line, int found, int expected, MissingShown shown) {
    const char* const missing_values = shown == MissingShown::empty     ? "empty"
                                       : missing_ == MissingValues::nan ? "NaN"
                                                                        : "zeros";
    add_row_lack(path_ + ":" + std::to_string(line) + ": warning: row has " +
                 std::to_string(found) + " of " + std::to_string(expected) +
                 " values; the missing ones are " + missing_values);
}

void ReportFindings::year_outside_run(std::int64_t line, std::string_view year_digits,
                                      int first_year, int last_year) {
    std::string text = path_ + ":" + std::to_string(line) + ": warning: year ";
    text.append(shown_text(year_digits))
        .append(" is outside ")
        .append(std::to_string(first_year))
        .append("-")
        .append(std::to_string(last_year))
        .append("; row passed over");
    add_row_lack(std::move(text));
}

void ReportFindings::row_labelled(std::int64_t line, std::string_view label, int expected_year) {
    std::string text = path_ + ":" + std::to_string(line) + ": warning: row is labelled ";
    text.append(shown_text(label))
        .append(" where year ")
        .append(std::to_string(expected_year))
        .append(" was expected");
    add_lack(std::move(text));
}

void ReportFindings::not_a_number(std::int64_t line, std::string_view token) {
    std::string text = path_ + ":" + std::to_string(line) + ": warning: value \"";
    text.append(shown_text(token)).append("\" is not a number");
    add_row_lack(std::move(text));
}

void ReportFindings::year_repeated(std::int64_t line, int year, int index_number,
                                   std::int64_t earlier_line) {
    add_row_finding(path_ + ":" + std::to_string(line) + ": warning: year " + std::to_string(year) +
                    " appears again for index " + std::to_string(index_number) +
                    "; this row replaces the one on line " + std::to_string(earlier_line));
}

void ReportFindings::index_lacks_years(const ReportSection& section, int index_number,
                                       std::string_view missing_years) {
    std::string text =
        path_ + ": warning: index " + std::to_string(index_number) + " has no row for ";
    text.append(missing_years).append(" in ").append(quoted_section(section));
    lines_.push_back(std::move(text));
}

void ReportFindings::add_lack(std::string line) {
    lacked_anything_ = true;
    lines_.push_back(std::move(line));
}

void ReportFindings::add_row_lack(std::string line) {
    lacked_anything_ = true;
    add_row_finding(std::move(line));
}

void ReportFindings::add_row_finding(std::string line) {
    if (shown_row_findings_ < kShownRowFindings) {
        ++shown_row_findings_;
        lines_.push_back(std::move(line));
    } else {
        ++hidden_row_findings_;
    }
}

std::vector<std::string> ReportFindings::lines() const {
    std::vector<std::string> all = lines_;
    if (hidden_row_findings_ > 0) {
        all.push_back(path_ + ": warning: " + std::to_string(hidden_row_findings_) +
                      " more row warnings not shown");
    }
    return all;
}

std::string year_ranges(std::span<const std::int64_t> row_lines, int first_year) {
    std::string text;
    const std::size_t years = row_lines.size();
    for (std::size_t start = 0; start < years; ++start) {
        if (row_lines[start] != 0) continue;
        std::size_t last = start;
        while (last + 1 < years && row_lines[last + 1] == 0)
            ++last;
        if (!text.empty()) text += ", ";
        text += std::to_string(first_year + static_cast<std::int64_t>(start));
        if (last > start) {
            text += '-';
            text += std::to_string(first_year + static_cast<std::int64_t>(last));
        }
        start = last;
    }
    return text;
}

}  // namespace scantelk
