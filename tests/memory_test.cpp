// Peak resident memory of the built program on runs that declare huge tables but fill few of
// their cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/assessment_data.h"
#include "test_support.h"

namespace scantelk {
namespace {

using testing::read_file;
using testing::TempDir;

constexpr int kYears = 32767;
constexpr int kIndices = 2000;
constexpr long kLimitKilobytes = 64 * 1024;

// 32767 years from year 1, no ages, fleets or selectivity blocks, and 2000 survey indices of which
// only `used` (1-based, 0 for none) is switched on: five index tables of over 500 MB each,
// declared by 190 KB.
std::string wide_input(int used) {
    std::string text = "TELK VERSION 2.0\n# wide\n32767\n1\n0\n0\n0\n2000\n";
    // One empty line per year for each of the five age tables, the two lines after the natural
    // mortality, and the seven lines left of the unused groups without fleets or blocks.
    text.append(5 * kYears + 2 + 7, '\n');
    for (int k = 0; k < IndexSpec::kValueCount; ++k) {
        for (int i = 1; i <= kIndices; ++i)
            text += (k == IndexSpec::kValueCount - 1 && i == used) ? "1 " : "0 ";
        text += '\n';
    }
    return text;
}

// A report that fills the used index's fits and sample sizes for every year; the sections before
// them are present and empty, since the run has no fleets.
std::string filled_index_report() {
    std::string text =
        "Input and Estimated effective sample sizes\nInput and Estimated effective Discard "
        "sample sizes\nObserved and predicted total fleet catch\nObserved and predicted total "
        "fleet Discards\nIndex data\n";
    for (int year = 1; year <= kYears; ++year)
        text += std::to_string(year) + " 1.5 1.25 -0.5\n";
    text += "\nInput and Estimated effective sample sizes\n";
    for (int year = 1; year <= kYears; ++year)
        text += std::to_string(year) + " 50 42.5\n";
    return text + "\n";
}

// 32767 years of 4000 ages, tables of 1 GB each, of which the file holds eight natural mortality
// rows before it ends.
std::string huge_ages_input() {
    std::string text = "TELK VERSION 2.0\n# ages\n32767\n1\n4000\n0\n0\n0\n";
    std::string row;
    for (int a = 0; a < 4000; ++a)
        row += "0.2 ";
    for (int r = 0; r < 8; ++r)
        text += row + "\n";
    return text;
}

struct MeasuredRun {
    int exit_status = -1;
    long peak_kilobytes = 0;
};

// Runs the program on `input_name` in `folder` under /usr/bin/time, which reports the peak
// resident memory of the child it starts itself. The test process cannot take it from wait4: a
// forked child inherits its parent's high-water mark, and exec keeps it.
MeasuredRun run_measured(const TempDir& folder, const std::string& input_name) {
    // A sanitized allocator poisons one shadow byte per eight bytes of each table as it maps it
    // (65 MB for one of these). Without that the figure is the program's own either way.
    std::string setup = testing::kAddressSanitizer ? "ASAN_OPTIONS=poison_heap=0 " : "";
    setup += "/usr/bin/time -f %M -o peak.txt";
#ifdef SCANTELK_NO_ZERO_PAGE
    setup += " env LD_PRELOAD=" SCANTELK_NO_ZERO_PAGE;
#endif
    const auto run = testing::run_program(folder.path(), {input_name}, setup);
    MeasuredRun result;
    result.exit_status = run.exit_status;
    // After a failed run, a line "Command exited with non-zero status 1" comes first.
    const std::string report = read_file(folder.file("peak.txt"));
    const std::size_t last_line = report.find_last_of('\n', report.size() - 2);
    result.peak_kilobytes =
        std::atol(report.c_str() + (last_line == std::string::npos ? 0 : last_line + 1));
    return result;
}

TEST(PeakMemory, FollowsWhatTheRunFillsNotWhatTheTablesDeclare) {
    const struct {
        const char* name;
        std::string input;
        std::string report;
        int exit_status;
        long summary_lines;
    } cases[] = {
        {"no index used", wide_input(0), "", 0, 32},
        {"first index used, empty report", wide_input(1), "", 0, 37},
        {"first index used and filled", wide_input(1), filled_index_report(), 0, 37},
        {"middle index used and filled", wide_input(1001), filled_index_report(), 0, 37},
        {"huge ages, file ends early", huge_ages_input(), "", 1, -1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        testing::write_file(dir.file("run.dat"), c.input);
        testing::write_file(dir.file("run.rep"), c.report);
        const MeasuredRun run = run_measured(dir, "run.dat");
        EXPECT_EQ(run.exit_status, c.exit_status) << c.name;
        EXPECT_GT(run.peak_kilobytes, 0) << c.name;
        EXPECT_LE(run.peak_kilobytes, kLimitKilobytes) << c.name;
        std::printf("%s: %ld KB\n", c.name, run.peak_kilobytes);
        if (c.summary_lines < 0) {
            EXPECT_FALSE(testing::file_exists(dir.file("run.tmp"))) << c.name;
            continue;
        }
        const std::string summary = read_file(dir.file("run.tmp"));
        EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), c.summary_lines) << c.name;
    }
}

}  // namespace
}  // namespace scantelk
