// scantelk: gathers one TELK model run into a plain-text summary file.
#include <cstdio>
#include <new>

#include "driver/run.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: scantelk filename\n", stderr);
        return 1;
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
