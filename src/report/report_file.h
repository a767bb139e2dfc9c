// The report file stage: the eleven sections of the model's text report.
#pragma once

#include <string>

#include "store/assessment_data.h"
#include "util/stage_error.h"

namespace scantelk {

// Reads the report sections into the report tables of `data`, whose dimensions and tables the
// input data file stage has set up. A missing section is not an error; a report that cannot be
// opened or read stops the run.
StageResult read_report_file(const std::string& path, AssessmentData& data);

}  // namespace scantelk
