// The report file stage: the eleven sections of the model's text report.
#pragma once

#include <string>
#include <vector>

#include "store/assessment_data.h"
#include "util/stage_error.h"

namespace scantelk {

// Reads the report sections into the report tables of `data`, whose dimensions and tables the
// input data file stage has set up; the report tables are expected as alloc_tables left them,
// all zero, since rows that the report lacks are not written. A missing section is not an
// error; a report that cannot be opened or read stops the run. When `findings` is given, it
// receives one line for everything the report lacked (missing sections, short rows, rows
// outside the run), in the order met.
StageResult read_report_file(const std::string& path, AssessmentData& data,
                             std::vector<std::string>* findings = nullptr);

}  // namespace scantelk
