// scantelk: gathers one TELK model run into a plain-text summary file.
#include <cstdio>
#include <cstring>
#include <new>

#include "driver/run.h"
#include "store/assessment_data.h"

namespace {

constexpr const char* kUsage = "usage: scantelk filename\n";

constexpr const char* kHelp =
    "usage: scantelk [--warn | --strict] [--] filename\n"
    "\n"
    "Reads the TELK input data file FILENAME and the model's report next to it (the same\n"
    "name with the extension .rep), and writes the summary file (extension .tmp): the run's\n"
    "title, dimensions and sixteen tables, one line per age, fleet, index or column and one\n"
    "16-character field per model year.\n"
    "\n"
    "  --warn       also write to standard error what the report lacked (missing\n"
    "               sections, short rows, rows outside the run, an older report)\n"
    "  --strict     as --warn, and write no summary when the report lacked anything\n"
    "  --           end of options: the words after it are file names\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n";

enum class Action { run, help, version };

struct CommandLine {
    Action action = Action::run;
    scantelk::ReportCheck check = scantelk::ReportCheck::quiet;
    const char* path = nullptr;  // the first argument that is not an option
};

// Before a "--", the option words are options wherever they stand; the first other argument is
// the path and later ones are ignored. The first of --help and --version decides.
CommandLine parse_command_line(int argc, char** argv) {
    CommandLine line;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const auto is = [&](const char* word) {
            return !options_ended && std::strcmp(arg, word) == 0;
        };
        if (is("--")) {
            options_ended = true;
        } else if (is("--help") || is("-h")) {
            if (line.action == Action::run) line.action = Action::help;
        } else if (is("--version")) {
            if (line.action == Action::run) line.action = Action::version;
        } else if (is("--strict")) {
            line.check = scantelk::ReportCheck::strict;
        } else if (is("--warn")) {
            if (line.check != scantelk::ReportCheck::strict)
                line.check = scantelk::ReportCheck::warn;
        } else if (line.path == nullptr) {
            line.path = arg;
        }
    }
    return line;
}

// Writes help or version text; standard output that cannot be written is a failure.
int print_text(const char* text) {
    std::fputs(text, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fputs("Unable to Write Standard Output\n", stderr);
        return 1;
    }
    return 0;
}

int run(const char* path, scantelk::ReportCheck check) {
    try {
        scantelk::AssessmentData data;
        const scantelk::RunResult result = scantelk::run_scantelk(path, data, check);
        for (const std::string& finding : result.findings)
            std::fprintf(stderr, "%s\n", finding.c_str());
        if (result.error) {
            std::fprintf(stderr, "%s\n", result.error->message.c_str());
            return result.error->exit_status;
        }
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Not Enough Memory to Read Telk Files: %s\n", path);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = parse_command_line(argc, argv);
    if (line.action == Action::help) return print_text(kHelp);
    if (line.action == Action::version) return print_text("scantelk " SCANTELK_VERSION "\n");
    if (line.path == nullptr) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    return run(line.path, line.check);
}
