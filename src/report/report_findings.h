// What a report lacked: the findings that --warn and --strict write, one line each.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scantelk {

// A section of the report: the heading searched for, and the role that tells apart the two
// searches for the same heading.
struct ReportSection {
    std::string_view heading;
    std::string_view role;
};

// Collects findings in the order the reader meets them. Row findings (short rows and years
// outside the run) are shown for the first kShownRowFindings rows only; the rest are counted.
class ReportFindings {
  public:
    static constexpr int kShownRowFindings = 20;

    explicit ReportFindings(std::string report_path = {}) : path_(std::move(report_path)) {}

    // A heading search that reached the end of the report after `lines_before` lines.
    void section_not_found(const ReportSection& section, long lines_before);

    // A found section needed a line that the report lacks; noted once per run.
    void file_ends_inside(const ReportSection& section, long line_count);

    // A row on line `line` with `found` of the `expected` values, the year counted.
    void short_row(long line, int found, int expected);

    // An index row on line `line` whose year, `year_digits` as written, lies outside the run.
    void year_outside_run(long line, std::string_view year_digits, int first_year, int last_year);

    // The finding lines, followed by the count of row findings not shown, if any.
    std::vector<std::string> lines() const;

    bool empty() const { return lines_.empty(); }

  private:
    // Counts one more row finding; false when it is beyond those shown.
    bool shows_next_row_finding();

    std::string path_;
    std::vector<std::string> lines_;
    int shown_row_findings_ = 0;
    long hidden_row_findings_ = 0;
    bool noted_file_end_ = false;
};

}  // namespace scantelk
