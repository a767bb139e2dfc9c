// One run of scantelk over the three files.
#pragma once

#include <string>

#include "util/stage_error.h"

namespace scantelk {

struct AssessmentData;

// Reads the input data file at `input_path` and its report, and writes the summary. The report
// and summary paths are the input path with the extension ".rep" and ".tmp".
StageResult run_scantelk(const std::string& input_path);

// The same run into a record that the caller keeps, so that it can check the summary against the
// dimensions and index specifications that were read.
StageResult run_scantelk(const std::string& input_path, AssessmentData& data);

}  // namespace scantelk
