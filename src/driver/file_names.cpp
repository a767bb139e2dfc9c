#include "driver/file_names.h"

namespace scantelk {
namespace {

#ifdef _WIN32
constexpr std::string_view kDirectorySeparators = "/\\";
#else
constexpr std::string_view kDirectorySeparators = "/";
#endif

}  // namespace

std::string replace_extension(std::string_view path, std::string_view extension) {
    const std::size_t separator = path.find_last_of(kDirectorySeparators);
    const std::size_t name_start = separator == std::string_view::npos ? 0 : separator + 1;
    const std::size_t dot = path.find_last_of('.');
    const bool name_has_dot = dot != std::string_view::npos && dot >= name_start;
    std::string result(path.substr(0, name_has_dot ? dot : path.size()));
    result += extension;
    return result;
}

}  // namespace scantelk
