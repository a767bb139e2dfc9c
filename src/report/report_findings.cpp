#include "report/report_findings.h"

namespace scantelk {
namespace {

std::string quoted_section(const ReportSection& section) {
    std::string text = "section \"";
    text.append(section.heading).append("\" (").append(section.role).append(")");
    return text;
}

}  // namespace

void ReportFindings::section_not_found(const ReportSection& section, long lines_before) {
    lines_.push_back(path_ + ": warning: " + quoted_section(section) + " not found after line " +
                     std::to_string(lines_before));
}

void ReportFindings::file_ends_inside(const ReportSection& section, long line_count) {
    if (noted_file_end_) return;
    noted_file_end_ = true;
    lines_.push_back(path_ + ": warning: file ends at line " + std::to_string(line_count) +
                     " inside " + quoted_section(section));
}

void ReportFindings::short_row(long line, int found, int expected) {
    if (!shows_next_row_finding()) return;
    lines_.push_back(path_ + ":" + std::to_string(line) + ": warning: row has " +
                     std::to_string(found) + " of " + std::to_string(expected) +
                     " values; the missing ones are zeros");
}

void ReportFindings::year_outside_run(long line, std::string_view year_digits, int first_year,
                                      int last_year) {
    if (!shows_next_row_finding()) return;
    std::string text = path_ + ":" + std::to_string(line) + ": warning: year ";
    text.append(year_digits)
        .append(" is outside ")
        .append(std::to_string(first_year))
        .append("-")
        .append(std::to_string(last_year))
        .append("; row passed over");
    lines_.push_back(std::move(text));
}

bool ReportFindings::shows_next_row_finding() {
    if (shown_row_findings_ < kShownRowFindings) {
        ++shown_row_findings_;
        return true;
    }
    ++hidden_row_findings_;
    return false;
}

std::vector<std::string> ReportFindings::lines() const {
    std::vector<std::string> all = lines_;
    if (hidden_row_findings_ > 0) {
        all.push_back(path_ + ": warning: " + std::to_string(hidden_row_findings_) +
                      " more row warnings not shown");
    }
    return all;
}

}  // namespace scantelk
