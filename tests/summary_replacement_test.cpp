// The summary replaces the older one only once complete.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "test_support.h"

namespace scantelk {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::source_path;
using testing::TempDir;

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A write that fails at a file-size limit (as at a full disk) leaves the older summary byte for
// byte and no other file; one that succeeds replaces it. Either way a link to it stays a link
// and the summary keeps its permission bits.
TEST(SummaryReplacementTest, OnlyACompleteSummaryReplacesTheOlderOne) {
    struct Case {
        bool through_link;  // run.tmp is a link to older.tmp
        const char* setup;
    };
    const std::string older = "older summary\r\n";
    const std::string golden = read_file(source_path("tests/golden/haddock.tmp"));
    const fs::perms kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    for (const Case& c : {Case{false, "ulimit -f 32;"}, Case{true, "ulimit -f 32;"},
                          Case{false, ""}, Case{true, ""}}) {
        SCOPED_TRACE(std::string(c.through_link ? "link, " : "file, ") + c.setup);
        TempDir dir;
        fs::copy_file(source_path("examples/haddock.dat"), dir.file("run.dat"));
        fs::copy_file(source_path("examples/haddock.rep"), dir.file("run.rep"));
        const std::string summary = dir.file(c.through_link ? "older.tmp" : "run.tmp");
        testing::write_file(summary, older);
        fs::permissions(summary, kept);
        if (c.through_link) fs::create_symlink("older.tmp", dir.file("run.tmp"));
        const std::set<std::string> names = names_in(dir.path());

        const auto result = run_program(dir.path(), {"run.dat"}, c.setup);
        const bool fails = *c.setup != '\0';
        EXPECT_EQ(result.exit_status, fails ? 255 : 0);
        EXPECT_EQ(result.error_output, fails ? "Unable to Write Output File: run.tmp\n" : "");
        EXPECT_EQ(read_file(summary), fails ? older : golden);
        EXPECT_EQ(fs::status(summary).permissions(), kept);
        EXPECT_EQ(fs::is_symlink(dir.file("run.tmp")), c.through_link);
        EXPECT_EQ(names_in(dir.path()), names);
    }
}

}  // namespace
}  // namespace scantelk
