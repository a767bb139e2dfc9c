// Fuzz target: runs the whole pipeline on an input data file and a report made from one input,
// then checks what the run left behind. The bytes before the first separator line "@@report@@"
// are the input data file, the bytes after it the report; without the separator there is no
// report. Either file may hold any byte, NUL included.
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run.h"
#include "store/assessment_data.h"
#include "summary/summary_layout.h"

#if defined(__SANITIZE_ADDRESS__)
#define SCANTELK_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCANTELK_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef SCANTELK_ADDRESS_SANITIZER
// Sanitizer settings that let the fuzzer's peak memory limit (-rss_limit_mb) measure the program:
// - max_allocation_size_mb=128, allocator_may_return_null=1: tables of 2 MB and more are mappings
//   of the program's own, which cost nothing until written; a smaller block comes from the
//   sanitizer's allocator, which writes one shadow byte per eight bytes as it allocates it. The
//   cap keeps any heap block from costing the run more than the limit allows, and libFuzzer also
//   applies the peak memory limit to a single allocation.
// - quarantine_size_mb=32: freed blocks wait there to catch a use after free; every run frees a
//   few 1 MB buffers, and the default 256 MB would fill with them.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=128:quarantine_size_mb=32";
}
#endif

namespace {

constexpr std::string_view kReportSeparator = "@@report@@\n";

// A private folder for the three files, made once per process and removed at exit. A plain
// array, so that it still exists when the exit handler runs.
const char* work_folder() {
    static char folder[] = "/tmp/scantelk-fuzz-XXXXXX";
    static const bool made = [] {
        if (mkdtemp(folder) == nullptr) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)made;
    return folder;
}

void write_bytes(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::abort();
    }
    std::fclose(file);
}

// A run of `lines` summary lines that each hold `length` bytes before their line feed, or any
// number where `length` is -1.
struct LineRun {
    long lines;
    long length;
};

// The summary's shape: title and dimension line, then per block its heading and its data lines,
// each a 16-character field per year and CR LF; the index specification's lines vary.
std::vector<LineRun> expected_summary_shape(const scantelk::AssessmentData& data) {
    const long used =
        std::count_if(data.index_specs.begin(), data.index_specs.end(),
                      [](const scantelk::IndexSpec& index_spec) { return index_spec.used(); });
    const long ages = scantelk::count_of(data.n_ages);
    const long fleets = scantelk::count_of(data.n_fleets);
    // The CR counted, not the LF.
    const long data_line =
        static_cast<long>(scantelk::kFieldWidth) * scantelk::count_of(data.n_years) + 1;
    const long average_f = scantelk::kAverageFColumns;
    const long block_lines[] = {ages,      ages,       ages,       ages, ages,     fleets,
                                fleets,    2 * fleets, 2 * fleets, -1,   3 * used, 2 * used,
                                average_f, ages,       1,          2};
    std::vector<LineRun> shape = {{2, -1}};
    for (const long lines : block_lines) {
        if (lines < 0) {
            shape.push_back({2 + scantelk::kIndexSpecValues, -1});  // heading, labels, values
        } else {
            shape.push_back({1, -1});
            shape.push_back({lines, data_line});
        }
    }
    return shape;
}

// Checks the summary line by line against its expected shape; false, with a message, at the
// first line that does not fit, or when there is no summary.
bool summary_has_shape(const std::string& path, const std::vector<LineRun>& shape) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    static char block[1 << 16];
    std::size_t run = 0;
    long line_in_run = 0, line_number = 1, length = 0;
    bool fits = true;
    char previous = '\n';
    std::size_t got = 0;
    while (fits && (got = std::fread(block, 1, sizeof block, file)) > 0) {
        for (std::size_t k = 0; k < got && fits; ++k) {
            if (block[k] != '\n') {
                ++length;
                previous = block[k];
                continue;
            }
            while (run < shape.size() && line_in_run == shape[run].lines) {
                ++run;
                line_in_run = 0;
            }
            const long expected = run < shape.size() ? shape[run].length : -2;
            fits = expected == -1 || (expected == length && previous == '\r');
            if (!fits) {
                std::fprintf(stderr,
                             "scantelk_fuzz: summary line %ld holds %ld bytes, expected %ld\n",
                             line_number, length, expected);
            }
            ++line_in_run;
            ++line_number;
            length = 0;
        }
    }
    std::fclose(file);
    long lines_expected = 0;
    for (const LineRun& r : shape)
        lines_expected += r.lines;
    if (fits && line_number - 1 != lines_expected) {
        std::fprintf(stderr, "scantelk_fuzz: summary of %ld lines, expected %ld\n", line_number - 1,
                     lines_expected);
        fits = false;
    }
    return fits && length == 0;
}

// True when every line of the fits file ends with a line feed and holds six fields; false, with a
// message, otherwise or when there is no fits file.
bool fits_have_six_fields(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    static char block[1 << 16];
    long commas = 0, line_number = 1;
    bool fits = true;
    std::size_t got = 0;
    char last = '\n';
    while (fits && (got = std::fread(block, 1, sizeof block, file)) > 0) {
        for (std::size_t k = 0; k < got && fits; ++k) {
            last = block[k];
            if (block[k] == ',') ++commas;
            if (block[k] != '\n') continue;
            fits = commas == 5;
            if (!fits) {
                std::fprintf(stderr, "scantelk_fuzz: fits line %ld holds %ld fields\n", line_number,
                             commas + 1);
            }
            commas = 0;
            ++line_number;
        }
    }
    std::fclose(file);
    return fits && last == '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const std::size_t split = input.find(kReportSeparator);
    const std::string base = std::string(work_folder()) + "/run";
    write_bytes(base + ".dat", input.substr(0, split));
    if (split != std::string_view::npos) {
        write_bytes(base + ".rep", input.substr(split + kReportSeparator.size()));
    } else {
        std::remove((base + ".rep").c_str());
    }
    std::remove((base + ".tmp").c_str());
    std::remove((base + ".fits.csv").c_str());

    // A failed stage comes back as an error; nothing may end the process. The findings are
    // collected as --warn collects them, so that their code is fuzzed too; inputs of odd
    // length write what the report lacked as NaN, as --nan does, and every other pair of
    // lengths writes the fits file.
    scantelk::AssessmentData data;
    const scantelk::RunOptions options{
        scantelk::ReportCheck::warn,
        size % 2 == 1 ? scantelk::MissingValues::nan : scantelk::MissingValues::zero,
        size % 4 >= 2};
    const scantelk::StageResult error = scantelk::run_scantelk(base + ".dat", data, options).error;

    // A failed write (exit status -1) stops part-way through the summary by its nature; any other
    // failure leaves no summary, and a success one of the lines and line lengths its dimensions
    // give.
    if (error && error->exit_status != 1) return 0;
    const std::string summary = base + ".tmp";
    const std::string fits = base + ".fits.csv";
    if (error) {
        for (const std::string& path : {summary, fits}) {
            if (std::FILE* left = std::fopen(path.c_str(), "rb")) {
                std::fclose(left);
                std::fprintf(stderr, "scantelk_fuzz: %s: %s was written\n", error->message.c_str(),
                             path.c_str());
                std::abort();
            }
        }
        return 0;
    }
    if (!summary_has_shape(summary, expected_summary_shape(data))) std::abort();
    if (options.fits && !fits_have_six_fields(fits)) std::abort();
    return 0;
}
