// Temporary folders, files and runs of the built program, for the tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace scantelk::testing {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// Joins lines with LF, each line ended.
std::string lines_of(const std::vector<std::string>& lines);

struct ProgramResult {
    int exit_status = 0;
    std::string error_output;
};

// Runs the scantelk binary in `folder` with the given arguments (passed to the shell quoted),
// after the shell commands in `setup`, such as a ulimit.
ProgramResult run_program(const std::filesystem::path& folder, const std::vector<std::string>& args,
                          const std::string& setup = "");

// The address sanitizer reserves terabytes of address space and writes shadow memory for every
// allocated byte, so tests of memory limits and of untouched huge tables do not apply under it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// The report's eleven heading searches as the findings of --warn name them, in search order:
// the heading in quotes, then its role in parentheses.
extern const char* const kSectionSearches[11];

// A path inside the source tree, such as "examples/tiny.dat".
std::string source_path(const std::string& relative);

}  // namespace scantelk::testing
