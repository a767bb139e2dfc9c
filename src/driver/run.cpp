#include "driver/run.h"

#include <filesystem>
#include <system_error>

#include "driver/file_names.h"
#include "input/input_file.h"
#include "report/report_file.h"
#include "store/assessment_data.h"
#include "summary/summary_file.h"

namespace scantelk {
namespace {

namespace fs = std::filesystem;

// True when the report was last written before the input data file (to the file system's full
// precision), so it may come from an earlier run of the model.
bool report_is_older(const std::string& report_path, const std::string& input_path) {
    std::error_code report_error;
    std::error_code input_error;
    const auto report_time = fs::last_write_time(report_path, report_error);
    const auto input_time = fs::last_write_time(input_path, input_error);
    return !report_error && !input_error && report_time < input_time;
}

// True when both paths name one existing file, whatever links lead to it. A path that does not
// exist names no file.
bool same_existing_file(const std::string& first, const std::string& second) {
    std::error_code error;
    return fs::equivalent(first, second, error) && !error;
}

// The findings that --warn and --strict write: a stale report first, then what the reading met.
std::vector<std::string> report_findings(const std::string& input_path,
                                         const std::string& report_path,
                                         const std::vector<std::string>& reading_findings) {
    std::vector<std::string> findings;
    if (report_is_older(report_path, input_path)) {
        findings.push_back(report_path + ": warning: older than " + input_path +
                           "; it may be from an earlier run");
    }
    findings.insert(findings.end(), reading_findings.begin(), reading_findings.end());
    return findings;
}

}  // namespace

RunResult run_scantelk(const std::string& input_path, AssessmentData& data, ReportCheck check) {
    const std::string report_path = replace_extension(input_path, ".rep");
    const std::string summary_path = replace_extension(input_path, ".tmp");
    RunResult result;
    result.error = read_input_file(input_path, data);
    if (result.error) return result;
    std::vector<std::string> reading_findings;
    result.error = read_report_file(report_path, data, &reading_findings);
    if (result.error) return result;

    if (check != ReportCheck::quiet) {
        result.findings = report_findings(input_path, report_path, reading_findings);
        // A stale report alone does not fail a strict run: copying files can reorder their times.
        if (check == ReportCheck::strict && !reading_findings.empty()) {
            result.error = StageError{summary_path + ": error: summary not written (--strict)"};
            return result;
        }
    }
    if (same_existing_file(summary_path, input_path) ||
        same_existing_file(summary_path, report_path)) {
        result.error = StageError{"Summary File Would Replace an Input File: " + summary_path};
        return result;
    }
    result.error = write_summary_file(summary_path, data);
    return result;
}

}  // namespace scantelk
