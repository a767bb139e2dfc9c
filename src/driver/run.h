// One run of scantelk over the three files.
#pragma once

#include <string>

#include "util/stage_error.h"

namespace scantelk {

// Reads the input data file at `input_path` and its report, and writes the summary. The report
// and summary paths are the input path with the extension ".rep" and ".tmp".
StageResult run_scantelk(const std::string& input_path);

}  // namespace scantelk
