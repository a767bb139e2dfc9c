// Peak resident memory of the built program on a run that declares wide tables but fills almost
// none of their cells.
#include <gtest/gtest.h>

#include <algorithm>
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

// 32767 years from year 1, no ages, fleets or selectivity blocks, and 2000 survey indices of which
// the first `used` are switched on: five index tables of over 500 MB each, declared by 190 KB.
std::string wide_input(int used) {
    std::string text = "TELK VERSION 2.0\n# wide\n32767\n1\n0\n0\n0\n2000\n";
    // One empty line per year for each of the five age tables, the two lines after the natural
    // mortality, and the seven lines left of the unused groups without fleets or blocks.
    text.append(5 * kYears + 2 + 7, '\n');
    for (int k = 0; k < IndexSpec::kValueCount; ++k) {
        for (int i = 0; i < kIndices; ++i) {
            text += (k == IndexSpec::kValueCount - 1 && i < used) ? "1 " : "0 ";
        }
        text += '\n';
    }
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
    const std::string sanitizer = testing::kAddressSanitizer ? "ASAN_OPTIONS=poison_heap=0 " : "";
    const auto run = testing::run_program(folder.path(), {input_name},
                                          sanitizer + "/usr/bin/time -f %M -o peak.txt");
    MeasuredRun result;
    result.exit_status = run.exit_status;
    result.peak_kilobytes = std::atol(read_file(folder.file("peak.txt")).c_str());
    return result;
}

TEST(PeakMemory, FollowsWhatTheRunFillsNotWhatTheIndexTablesDeclare) {
    constexpr long kLimitKilobytes = 64 * 1024;
    for (const int used : {0, 1}) {
        TempDir dir;
        testing::write_file(dir.file("wide.dat"), wide_input(used));
        testing::write_file(dir.file("wide.rep"), "");
        const MeasuredRun run = run_measured(dir, "wide.dat");
        EXPECT_EQ(run.exit_status, 0) << used << " used";
        EXPECT_GT(run.peak_kilobytes, 0) << used << " used";
        EXPECT_LE(run.peak_kilobytes, kLimitKilobytes) << used << " used";
        const std::string summary = read_file(dir.file("wide.tmp"));
        EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 32 + 5 * used);
    }
}

}  // namespace
}  // namespace scantelk
