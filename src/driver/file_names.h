// Names of the report and summary files, derived from the input data file's path.
#pragma once

#include <string>
#include <string_view>

namespace scantelk {

// Replaces the extension of the path's file name (everything from the last '.' after the last
// directory separator) by `extension`; a file name without '.' gets `extension` appended.
// "model.run2.dat" gives "model.run2.rep"; "runs.v2/base" gives "runs.v2/base.rep".
std::string replace_extension(std::string_view path, std::string_view extension);

}  // namespace scantelk
