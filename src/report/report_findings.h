// What a report lacked: the findings that --warn and --strict write, one line each.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scantelk {

// What becomes of a cell that the report should have filled and did not: it keeps the
// allocation's zero, or it is written as NaN (--nan).
enum class MissingValues { zero, nan };

// A section of the report: the heading searched for, and the role that tells apart the two
// searches for the same heading.
struct ReportSection {
    std::string_view heading;
    std::string_view role;
};

// Collects findings in the order they are met. Row findings (short rows, years outside the run
// and values that are not numbers) are shown for the first kShownRowFindings only; the rest are
// counted. Every finding but an older report and a survey index without rows for some years
// means the report lacked something, which a strict run refuses.
class ReportFindings {
  public:
    static constexpr int kShownRowFindings = 20;

    explicit ReportFindings(std::string report_path = {},
                            MissingValues missing = MissingValues::zero)
        : path_(std::move(report_path)), missing_(missing) {}

    // The report was last written before the input data file at `input_path`.
    void older_than(std::string_view input_path);

    // A heading search that reached the end of the report after `lines_before` lines.
    void section_not_found(const ReportSection& section, std::int64_t lines_before);

    // A found section needed a line that the report lacks; noted once per run.
    void file_ends_inside(const ReportSection& section, std::int64_t line_count);

    // A found section that still had lines to read ended at line `line`, which holds the heading
    // `later_heading` of a section after it.
    void section_ends_early(const ReportSection& section, std::int64_t line,
                            std::string_view later_heading);

    // A row on line `line` with `found` of the `expected` values, the year counted. The missing
    // values are written as the run writes them, or as empty fields of the fits file.
    enum class MissingShown { as_run_writes, empty };
    void short_row(std::int64_t line, int found, int expected,
                   MissingShown shown = MissingShown::as_run_writes);

    // An index row on line `line` whose year, `year_digits` as written, lies outside the run.
    void year_outside_run(std::int64_t line, std::string_view year_digits, int first_year,
                          int last_year);

    // A year row on line `line` labelled `label` (as written) where `expected_year` belongs.
    void row_labelled(std::int64_t line, std::string_view label, int expected_year);

    // A value on line `line` written as `token`, a spelling of infinity or NaN.
    void not_a_number(std::int64_t line, std::string_view token);

    // An index row on line `line` for a year that already had a row on line `earlier_line` of the
    // same block, for survey index `index_number` (from 1). The later row stands, so nothing is
    // missing: a row finding that a strict run accepts.
    void year_repeated(std::int64_t line, int year, int index_number, std::int64_t earlier_line);

    // Survey index `index_number` (from 1) has no row in the section for `missing_years`, as
    // year_ranges writes them.
    void index_lacks_years(const ReportSection& section, int index_number,
                           std::string_view missing_years);

    // The finding lines, followed by the count of row findings not shown, if any.
    std::vector<std::string> lines() const;

    // True when a finding says that the report lacked something.
    bool report_lacked_anything() const { return lacked_anything_; }

  private:
    // A finding that the report lacked something, and a row finding among them.
    void add_lack(std::string line);
    void add_row_lack(std::string line);
    void add_row_finding(std::string line);

    std::string path_;
    MissingValues missing_;
    std::vector<std::string> lines_;
    int shown_row_findings_ = 0;
    std::int64_t hidden_row_findings_ = 0;
    bool noted_file_end_ = false;
    bool lacked_anything_ = false;
};

// The years whose entry in `row_lines` is 0 (no row), as ascending ranges: "1990-1992, 1995".
// `row_lines` holds one entry per model year from `first_year` on.
std::string year_ranges(std::span<const std::int64_t> row_lines, int first_year);

// Report text as a finding quotes it: at most its first 40 bytes, then "..." when there was more,
// with control bytes written as \xHH so that none reaches the terminal.
std::string shown_text(std::string_view text);

}  // namespace scantelk
