// The report file stage: the eleven sections of the model's text report.
#pragma once

#include <string>

#include "report/fits_file.h"
#include "report/report_findings.h"
#include "store/assessment_data.h"
#include "util/stage_error.h"

namespace scantelk {

// Reads the report sections into the report tables of `data`, whose dimensions and tables the
// input data file stage has set up; the report tables are expected as alloc_tables left them,
// all zero, since rows that the report lacks are not written. A missing section is not an
// error; a report that cannot be opened or read stops the run. `findings` receives everything
// the report lacked or held out of place, in the order met. A cell that the report should have
// filled and did not keeps its zero or, with MissingValues::nan, is written as NaN. With `fits`,
// the observed and predicted catch, discards and proportions at age go to it as they are read.
StageResult read_report_file(const std::string& path, AssessmentData& data,
                             ReportFindings& findings, MissingValues missing = MissingValues::zero,
                             FitsWriter* fits = nullptr);

}  // namespace scantelk
