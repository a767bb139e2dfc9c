#include "driver/run.h"

#include "driver/file_names.h"
#include "input/input_file.h"
#include "report/report_file.h"
#include "store/assessment_data.h"
#include "summary/summary_file.h"

namespace scantelk {

StageResult run_scantelk(const std::string& input_path) {
    AssessmentData data;
    return run_scantelk(input_path, data);
}

StageResult run_scantelk(const std::string& input_path, AssessmentData& data) {
    if (auto error = read_input_file(input_path, data)) return error;
    if (auto error = read_report_file(replace_extension(input_path, ".rep"), data)) return error;
    return write_summary_file(replace_extension(input_path, ".tmp"), data);
}

}  // namespace scantelk
