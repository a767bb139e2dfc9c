// Reading the data lines of the input data file, which may carry '#' comments.
#pragma once

#include <string_view>

#include "util/line_reader.h"

namespace scantelk {

enum class DataLineStatus {
    data_line,        // `line` holds the next data line
    comments_to_end,  // only comment lines were left; `line` is empty
    end_of_file,      // no line was left at all; `line` is untouched
};

// Delivers the next line that is not a comment line (first character '#'), with everything from
// its first '#' on cut off. Empty lines and lines of white space are data lines; so is an
// indented '#' line, which comes back empty.
DataLineStatus read_data_line(LineReader& reader, std::string_view& line);

}  // namespace scantelk
