#include "test_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace scantelk::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (;;) {
        path_ = fs::temp_directory_path() / ("scantelk-test-" + std::to_string(random()));
        if (fs::create_directory(path_)) return;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) {
    return fs::exists(fs::symlink_status(path));
}

std::string lines_of(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

namespace {

std::string shell_quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted.append("'\\''");
        } else {
            quoted.push_back(c);
        }
    }
    quoted.push_back('\'');
    return quoted;
}

}  // namespace

ProgramResult run_program(const fs::path& folder, const std::vector<std::string>& args,
                          const std::string& setup) {
    const fs::path error_file = folder / ".stderr";
    // Built by appending: g++ 12 warns falsely about chained string concatenation here.
    std::string command = "cd ";
    command.append(shell_quoted(folder.string())).append(" && ").append(setup);
    command.append(" ").append(SCANTELK_BINARY);
    for (const std::string& arg : args)
        command.append(" ").append(shell_quoted(arg));
    command.append(" 2> ").append(shell_quoted(error_file.string()));
    const int status = std::system(command.c_str());
    ProgramResult result;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.error_output = read_file(error_file.string());
    fs::remove(error_file);
    return result;
}

const char* const kSectionSearches[11] = {
    "\"Input and Estimated effective sample sizes\" (catch sample sizes)",
    "\"Input and Estimated effective Discard sample sizes\" (discard sample sizes)",
    "\"Observed and predicted total fleet catch\" (fleet catch)",
    "\"Observed and predicted total fleet Discards\" (fleet discards)",
    "\"Index data\" (index fits)",
    "\"Input and Estimated effective sample sizes\" (index sample sizes)",
    "\"Average F\" (average F)",
    "\"Population Numbers\" (stock numbers)",
    "\"Proportions of catch\" (catch proportions)",
    "\"Proportions of Discards\" (discard proportions)",
    "\"Spawning Stock, Obs Recruits(year+1), Pred Recruits(year+1)\" (spawning stock and "
    "recruitment)",
};

std::string source_path(const std::string& relative) {
    return (fs::path(SCANTELK_SOURCE_DIR) / relative).string();
}

}  // namespace scantelk::testing
