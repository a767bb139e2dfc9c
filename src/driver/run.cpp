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

}  // namespace

RunResult run_scantelk(const std::string& input_path, AssessmentData& data,
                       const RunOptions& options) {
    const std::string report_path = replace_extension(input_path, ".rep");
    const std::string summary_path = replace_extension(input_path, ".tmp");
    const std::string fits_path = replace_extension(input_path, ".fits.csv");
    RunResult result;
    // Before anything is read: a huge input is not read for nothing, and a summary given as the
    // input is named as such rather than as a file of the wrong version.
    if (same_existing_file(summary_path, input_path) ||
        same_existing_file(summary_path, report_path)) {
        result.error = StageError{"Summary File Would Replace an Input File: " + summary_path};
        return result;
    }
    if (options.fits &&
        (same_existing_file(fits_path, input_path) || same_existing_file(fits_path, report_path))) {
        result.error = StageError{"Fits File Would Replace an Input File: " + fits_path};
        return result;
    }
    result.error = read_input_file(input_path, data);
    if (result.error) return result;

    // The fits are written as the report is read, and put in place only with the summary.
    FitsWriter fits;
    if (options.fits && !fits.open(fits_path)) {
        result.error = StageError{"Unable to Open Output File: " + fits_path};
        return result;
    }
    ReportFindings findings(report_path, options.missing);
    if (options.check != ReportCheck::quiet && report_is_older(report_path, input_path))
        findings.older_than(input_path);
    result.error = read_report_file(report_path, data, findings, options.missing,
                                    options.fits ? &fits : nullptr);
    if (result.error) return result;

    if (options.check != ReportCheck::quiet) {
        result.findings = findings.lines();
        if (options.check == ReportCheck::strict && findings.report_lacked_anything()) {
            result.error = StageError{summary_path + ": error: summary not written (--strict)"};
            return result;
        }
    }
    result.error = write_summary_file(summary_path, data);
    if (result.error || !options.fits) return result;
    if (!fits.commit()) {
        result.error = StageError{"Unable to Write Output File: " + fits_path, -1};
        return result;
    }
    // Its last bytes may have been written before the summary's: the readers take a fits file
    // older than its summary for one that a later plain run left behind.
    std::error_code ignored;
    fs::last_write_time(fits_path, fs::file_time_type::clock::now(), ignored);
    return result;
}

}  // namespace scantelk
