// One run of scantelk over the three files.
#pragma once

#include <string>
#include <vector>

#include "report/report_findings.h"
#include "util/stage_error.h"

namespace scantelk {

struct AssessmentData;

// How a run treats what the report lacked: say nothing, write the findings, or write them and
// refuse to write a summary from a report that lacked anything.
enum class ReportCheck { quiet, warn, strict };

struct RunOptions {
    ReportCheck check = ReportCheck::quiet;
    MissingValues missing = MissingValues::zero;  // --nan: what the report lacked is NaN
    bool fits = false;  // --fits: also the fits file, with the extension ".fits.csv"
};

struct RunResult {
    std::vector<std::string> findings;  // one line each, for standard error, before any error
    StageResult error;
};

// Reads the input data file at `input_path` and its report into `data`, and writes the summary.
// The report and summary paths are the input path with the extension ".rep" and ".tmp". A
// summary that would replace the input data file or the report stops the run before anything
// is read. With `options.fits` the fits file is written too, and only when the summary is.
RunResult run_scantelk(const std::string& input_path, AssessmentData& data,
                       const RunOptions& options = {});

}  // namespace scantelk
