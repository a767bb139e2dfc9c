// The summary replaces the older one only once complete.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
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

// A run.tmp that the user may write in a folder that the user may not is written in place; one
// that the user may not write is refused before anything is written, folder or not.
TEST(SummaryReplacementTest, WithoutAFileBesideItTheSummaryIsWrittenInPlace) {
    const bool root = geteuid() == 0;
    const std::string as_user = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    if (std::system((as_user + "test -x " SCANTELK_BINARY).c_str()) != 0)
        GTEST_SKIP() << "no other user to run the program as";
    const std::string golden = read_file(source_path("tests/golden/tiny.tmp"));
    for (const bool summary_writable : {true, false}) {
        TempDir dir;
        fs::permissions(dir.path(), fs::perms::others_exec, fs::perm_options::add);
        const fs::path folder = dir.path() / "runs";
        fs::create_directory(folder);
        fs::copy_file(source_path("examples/tiny.dat"), folder / "run.dat");
        fs::copy_file(source_path("examples/tiny.rep"), folder / "run.rep");
        testing::write_file((folder / "run.tmp").string(), "older summary\r\n");
        const fs::perms read = fs::perms::owner_read | fs::perms::others_read;
        const fs::perms folder_perms = read | fs::perms::owner_exec | fs::perms::others_exec;
        fs::permissions(folder / "run.tmp", summary_writable ? fs::perms::all : read);
        fs::permissions(folder, summary_writable ? folder_perms : fs::perms::all);

        const auto result = run_program(dir.path(), {"runs/run.dat"}, as_user);
        EXPECT_EQ(result.exit_status, summary_writable ? 0 : 1);
        EXPECT_EQ(result.error_output,
                  summary_writable ? "" : "Unable to Open Output File: runs/run.tmp\n");
        EXPECT_EQ(read_file((folder / "run.tmp").string()),
                  summary_writable ? golden : "older summary\r\n");
        fs::permissions(folder, fs::perms::owner_all);
    }
}

}  // namespace
}  // namespace scantelk
