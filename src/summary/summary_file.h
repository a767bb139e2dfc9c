// The summary file stage: title, dimensions and sixteen transposed blocks.
#pragma once

#include <string>

#include "store/assessment_data.h"
#include "util/stage_error.h"

namespace scantelk {

// Writes the summary file, replacing any file of that name only once the new one is complete.
// Fails with status 1 when the file cannot be created and with status -1 when a write or the
// close fails; an older summary is then left as it was (see ReplacementFile).
StageResult write_summary_file(const std::string& path, const AssessmentData& data);

}  // namespace scantelk
