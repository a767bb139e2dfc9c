// The input data file stage: version, title, dimensions, input tables, index specifications.
#pragma once

#include <string>

#include "store/assessment_data.h"
#include "util/stage_error.h"

namespace scantelk {

// Reads the front part of the input data file into `data` and creates every table. Stops the run
// on a file that cannot be opened or read, a wrong version line, or a malformed or short file.
StageResult read_input_file(const std::string& path, AssessmentData& data);

}  // namespace scantelk
