// scantelk: gathers TELK model runs into plain-text summary files, one per run.
#include <csignal>
#include <cstdio>
#include <new>
#include <string_view>
#include <vector>

#include "driver/run.h"
#include "store/assessment_data.h"

namespace {

constexpr const char* kUsage = "usage: scantelk filename\n";

constexpr const char* kHelp =
    "usage: scantelk [--warn | --strict] [--nan] [--fits] [--] filename...\n"
    "\n"
    "Reads the TELK input data file FILENAME and the model's report next to it (the same\n"
    "name with the extension .rep), and writes the summary file (extension .tmp): the run's\n"
    "title, dimensions and sixteen tables, one line per age, fleet, index or column and one\n"
    "16-character field per model year. Several files are converted one after another, each\n"
    "as if scantelk had been called for it alone; the exit status is 0 only if all succeed.\n"
    "\n"
    "  --warn       also write to standard error what the report lacked or held out of\n"
    "               place (missing sections, short or mislabelled rows, rows outside the\n"
    "               run, values that are not numbers, survey years without a row, an older\n"
    "               report)\n"
    "  --strict     as --warn, and write no summary when the report lacked anything\n"
    "  --nan        write NaN rather than zero where the report lacked a value\n"
    "  --fits       also write the observed and predicted catch, discards and proportions\n"
    "               at age as CSV, to the input's name with the extension .fits.csv\n"
    "  --           end of options: the words after it are file names\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n";

enum class Action { run, help, version, refuse };

struct CommandLine {
    Action action = Action::run;
    scantelk::RunOptions options;
    std::vector<const char*> paths;
    const char* unknown_option = nullptr;  // the first word that looks like an option and is none
};

// Before a "--", every word that begins with '-' is an option, wherever it stands, and one that
// is not known refuses the whole command line; every other word is a path. Otherwise the first
// of --help and --version decides.
CommandLine parse_command_line(int argc, char** argv) {
    CommandLine line;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (options_ended || !word.starts_with('-')) {
            line.paths.push_back(argv[i]);
        } else if (word == "--") {
            options_ended = true;
        } else if (word == "--help" || word == "-h") {
            if (line.action == Action::run) line.action = Action::help;
        } else if (word == "--version") {
            if (line.action == Action::run) line.action = Action::version;
        } else if (word == "--strict") {
            line.options.check = scantelk::ReportCheck::strict;
        } else if (word == "--warn") {
            if (line.options.check != scantelk::ReportCheck::strict)
                line.options.check = scantelk::ReportCheck::warn;
        } else if (word == "--nan") {
            line.options.missing = scantelk::MissingValues::nan;
        } else if (word == "--fits") {
            line.options.fits = true;
        } else if (line.unknown_option == nullptr) {
            line.unknown_option = argv[i];
        }
    }
    if (line.unknown_option != nullptr) line.action = Action::refuse;
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

int run(const char* path, const scantelk::RunOptions& options) {
    try {
        scantelk::AssessmentData data;
        const scantelk::RunResult result = scantelk::run_scantelk(path, data, options);
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
#ifdef SIGXFSZ
    // A file-size limit is then a failed write, which keeps the older summary, not a kill.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const CommandLine line = parse_command_line(argc, argv);
    if (line.action == Action::refuse) {
        std::fprintf(stderr, "scantelk: unknown option %s\n", line.unknown_option);
        std::fputs(kUsage, stderr);
        return 1;
    }
    if (line.action == Action::help) return print_text(kHelp);
    if (line.action == Action::version) return print_text("scantelk " SCANTELK_VERSION "\n");
    if (line.paths.empty()) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    // Each run as if called alone; the status is that of the first run that failed.
    int status = 0;
    for (const char* path : line.paths) {
        const int run_status = run(path, line.options);
        if (status == 0) status = run_status;
    }
    return status;
}
