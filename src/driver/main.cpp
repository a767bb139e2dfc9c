// scantelk: gathers one TELK model run into a plain-text summary file.
#include <cstdio>
#include <cstring>
#include <new>

#include "driver/run.h"

namespace {

constexpr const char* kHelp =
    "usage: scantelk filename\n"
    "\n"
    "Reads the TELK input data file FILENAME and the model's report next to it (the same\n"
    "name with the extension .rep), and writes the summary file (extension .tmp): the run's\n"
    "title, dimensions and sixteen tables, one line per age, fleet, index or column and one\n"
    "16-character field per model year.\n"
    "\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: scantelk filename\n", stderr);
        return 1;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::puts("scantelk " SCANTELK_VERSION);
        return 0;
    }
    try {
        if (const auto error = scantelk::run_scantelk(argv[1])) {
            std::fprintf(stderr, "%s\n", error->message.c_str());
            return error->exit_status;
        }
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Not Enough Memory to Read Telk Files: %s\n", argv[1]);
        return 1;
    }
    return 0;
}
