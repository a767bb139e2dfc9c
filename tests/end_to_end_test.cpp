// Runs the built program on small files in a temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace scantelk {
namespace {

namespace fs = std::filesystem;
using testing::file_exists;
using testing::read_file;
using testing::run_program;
using testing::source_path;
using testing::TempDir;

class EndToEndTest : public ::testing::Test {
  protected:
    // Copies a bundled run into the temporary folder under the given base name.
    void copy_run(const std::string& from, const std::string& to_base) {
        fs::copy_file(source_path(from + ".dat"), dir_.file(to_base + ".dat"));
        fs::copy_file(source_path(from + ".rep"), dir_.file(to_base + ".rep"));
    }

    TempDir dir_;
};

TEST_F(EndToEndTest, WithoutAnArgumentPrintsTheUsageLine) {
    const auto result = run_program(dir_.path(), {});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output, "usage: scantelk filename\n");
}

TEST_F(EndToEndTest, TheWorkedExampleMatchesItsGoldenSummaryByteForByte) {
    copy_run("examples/tiny", "tiny");
    const auto result = run_program(dir_.path(), {"tiny.dat"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.error_output, "");
    EXPECT_EQ(read_file(dir_.file("tiny.tmp")), read_file(source_path("tests/golden/tiny.tmp")));
}

TEST_F(EndToEndTest, SeveralFleetsAndAnUnusedIndexMatchTheirGoldenSummaries) {
    const std::pair<std::string, std::string> runs[] = {
        {"tests/golden/fleets", "tests/golden/fleets.tmp"},
        {"examples/haddock", "tests/golden/haddock.tmp"},
    };
    for (const auto& [run, golden] : runs) {
        copy_run(run, "run");
        const auto result = run_program(dir_.path(), {"run.dat"});
        EXPECT_EQ(result.exit_status, 0) << run;
        EXPECT_EQ(result.error_output, "") << run;
        EXPECT_EQ(read_file(dir_.file("run.tmp")), read_file(source_path(golden))) << run;
        fs::remove(dir_.file("run.dat"));
        fs::remove(dir_.file("run.rep"));
    }
}

TEST_F(EndToEndTest, HelpAndVersionAnswerOnStandardOutput) {
    const std::string help = dir_.file("help.txt");
    for (const char* option : {"--help", "-h"}) {
        const auto result = run_program(dir_.path(), {"run.dat", option}, "exec > help.txt;");
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.error_output, "");
        EXPECT_EQ(read_file(help).rfind(
                      "usage: scantelk [--warn | --strict] [--nan] [--fits] [--] filename...\n", 0),
                  0u)
            << option;
    }
    auto result = run_program(dir_.path(), {"--version"}, "exec > version.txt;");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(read_file(dir_.file("version.txt")), "scantelk " SCANTELK_VERSION "\n");

    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (const char* option : {"--help", "--version"}) {
        result = run_program(dir_.path(), {option}, "exec > /dev/full;");
        EXPECT_EQ(result.exit_status, 1) << option;
        EXPECT_EQ(result.error_output, "Unable to Write Standard Output\n") << option;
    }
}

TEST_F(EndToEndTest, TheSummaryNeverReplacesAnInputFile) {
    copy_run("examples/tiny", "x");
    fs::rename(dir_.file("x.dat"), dir_.file("x.tmp"));
    const std::string input = read_file(dir_.file("x.tmp"));
    auto result = run_program(dir_.path(), {"x.tmp"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output, "Summary File Would Replace an Input File: x.tmp\n");
    EXPECT_EQ(read_file(dir_.file("x.tmp")), input);

    copy_run("examples/tiny", "run");
    fs::create_hard_link(dir_.file("run.dat"), dir_.file("run.tmp"));
    result = run_program(dir_.path(), {"run.dat"});
    EXPECT_EQ(result.error_output, "Summary File Would Replace an Input File: run.tmp\n");
    EXPECT_EQ(read_file(dir_.file("run.dat")), input);

    fs::remove(dir_.file("run.tmp"));
    fs::create_symlink("run.rep", dir_.file("run.tmp"));
    result = run_program(dir_.path(), {"run.dat"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output, "Summary File Would Replace an Input File: run.tmp\n");
}

// The command line: an unknown option refuses it all, several paths are converted in turn as if
// one by one, and a summary given as the input is refused before it is read.
TEST_F(EndToEndTest, TheCommandLineRefusesWhatItDoesNotUnderstandAndConvertsEveryPath) {
    copy_run("examples/tiny", "a");
    copy_run("examples/tiny", "c");
    fs::copy_file(source_path("tests/golden/tiny.tmp"), dir_.file("s.tmp"));
    const std::string usage = "usage: scantelk filename\n";
    const struct {
        std::vector<std::string> args;
        std::string error_output;
        std::vector<std::string> summaries;  // written, each the golden one
    } cases[] = {
        {{"a.dat", "--stirct"}, "scantelk: unknown option --stirct\n" + usage, {}},
        {{"-", "--help", "a.dat"}, "scantelk: unknown option -\n" + usage, {}},
        {{"--warn", "a.dat", "b.dat", "c.dat"},
         "Unable to Open Telk Input Data File: b.dat\n",
         {"a.tmp", "c.tmp"}},
        {{"s.tmp"}, "Summary File Would Replace an Input File: s.tmp\n", {}},
    };
    for (const auto& c : cases) {
        const auto result = run_program(dir_.path(), c.args);
        EXPECT_EQ(result.exit_status, 1) << c.args[0];
        EXPECT_EQ(result.error_output, c.error_output) << c.args[0];
        for (const char* name : {"a.tmp", "c.tmp"}) {
            const bool expected =
                std::find(c.summaries.begin(), c.summaries.end(), name) != c.summaries.end();
            EXPECT_EQ(file_exists(dir_.file(name)), expected) << c.args[0] << " " << name;
            if (expected) {
                EXPECT_EQ(read_file(dir_.file(name)),
                          read_file(source_path("tests/golden/tiny.tmp")));
            }
            fs::remove(dir_.file(name));
        }
    }
}

// The tiny run's report cut after its first row: the first section ends early and every later
// heading is missing.
class ReportCheckTest : public EndToEndTest {
  protected:
    void SetUp() override {
        copy_run("examples/tiny", "run");
        const std::string report = read_file(dir_.file("run.rep"));
        std::size_t end = 0;
        for (int line = 0; line < 5; ++line)
            end = report.find('\n', end) + 1;
        testing::write_file(dir_.file("run.rep"), report.substr(0, end));
    }

    static std::string expected_findings() {
        std::string text =
            "run.rep: warning: file ends at line 5 inside section \"Input and Estimated effective "
            "sample sizes\" (catch sample sizes)\n";
        for (std::size_t s = 1; s < std::size(testing::kSectionSearches); ++s) {
            text.append("run.rep: warning: section ")
                .append(testing::kSectionSearches[s])
                .append(" not found after line 5\n");
        }
        return text;
    }
};

TEST_F(ReportCheckTest, WarnNamesTheFindingsAndWritesTheSameSummaryAsThePlainRun) {
    auto result = run_program(dir_.path(), {"run.dat"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.error_output, "") << "the plain run stays silent";
    const std::string plain_summary = read_file(dir_.file("run.tmp"));

    result = run_program(dir_.path(), {"--warn", "run.dat"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.error_output, expected_findings());
    EXPECT_EQ(read_file(dir_.file("run.tmp")), plain_summary);
}

TEST_F(ReportCheckTest, StrictWritesNoSummaryWhereverTheOptionStands) {
    testing::write_file(dir_.file("run.tmp"), "older summary\r\n");
    for (const auto& args : {std::vector<std::string>{"--strict", "run.dat"},
                             std::vector<std::string>{"run.dat", "--warn", "--strict"}}) {
        const auto result = run_program(dir_.path(), args);
        EXPECT_EQ(result.exit_status, 1) << args[0];
        EXPECT_EQ(result.error_output,
                  expected_findings() + "run.tmp: error: summary not written (--strict)\n")
            << args[0];
        EXPECT_EQ(read_file(dir_.file("run.tmp")), "older summary\r\n") << args[0];
    }
}

// The tiny run with its report edited line by line, lines numbered from 1 as findings number them.
class EditedReportTest : public EndToEndTest {
  protected:
    // A line number and its new text; a null text drops the line.
    using Edit = std::pair<int, const char*>;

    void SetUp() override { copy_run("examples/tiny", "run"); }

    // Writes the report with the edits made and only its first `kept_lines` lines.
    void edit_report(const std::vector<Edit>& edits, int kept_lines = 1000) {
        std::vector<std::string> lines;
        std::istringstream original(read_file(source_path("examples/tiny.rep")));
        for (std::string line; std::getline(original, line);)
            lines.push_back(line);
        lines.resize(std::min<std::size_t>(lines.size(), static_cast<std::size_t>(kept_lines)));
        std::string report;
        for (int n = 1; n <= static_cast<int>(lines.size()); ++n) {
            const auto edit = std::find_if(edits.begin(), edits.end(),
                                           [n](const Edit& e) { return e.first == n; });
            if (edit == edits.end()) {
                report += lines[static_cast<std::size_t>(n - 1)] + "\n";
            } else if (edit->second != nullptr) {
                report += std::string(edit->second) + "\n";
            }
        }
        testing::write_file(dir_.file("run.rep"), report);
    }

    // The summary's lines, each cut into its 16-character fields with the blanks trimmed.
    std::vector<std::vector<std::string>> summary_fields() const {
        std::vector<std::vector<std::string>> lines;
        std::istringstream summary(read_file(dir_.file("run.tmp")));
        for (std::string line; std::getline(summary, line);) {
            std::vector<std::string> fields;
            for (std::size_t at = 0; at + 16 <= line.size(); at += 16) {
                std::istringstream field(line.substr(at, 16));
                fields.emplace_back();
                field >> fields.back();
            }
            lines.push_back(fields);
        }
        return lines;
    }
};

// Spellings of non-numbers in both files reach the summary as such; in the input data file '#'
// still begins a comment.
TEST_F(EditedReportTest, NonNumbersInEitherFileReachTheSummaryAsSuch) {
    std::string input = read_file(dir_.file("run.dat"));
    input.replace(input.find("0.2 0.2"), 7, "-INF 1.#INF");
    testing::write_file(dir_.file("run.dat"), input);
    edit_report({{40, " 2000  nan  -1.#IND00  infinity"}});
    ASSERT_EQ(run_program(dir_.path(), {"run.dat"}).exit_status, 0);
    const auto fields = summary_fields();
    EXPECT_EQ(fields[3][0], "-Inf");
    EXPECT_EQ(fields[4][0], "1.000000E+000");
    EXPECT_EQ(fields[44][0], "NaN");
    EXPECT_EQ(fields[45][0], "NaN");
    EXPECT_EQ(fields[46][0], "Inf");
}

// Each new finding line for line, and whether it fails a strict run.
TEST_F(EditedReportTest, WarnNamesMislabelledRowsNonNumbersAndSurveyYearsWithoutARow) {
    const std::string kLongLabelRow = " " + std::string(100, 'y') + "  0  0";
    const struct {
        std::vector<Edit> edits;
        std::string findings;
        bool fails_strict;
    } cases[] = {
        {{{40, " 2000  nan  -1.#IND00  1e400"}, {49, " 2000 obs = nan 0.4"}},  // 49 is not kept
         "run.rep:40: warning: value \"nan\" is not a number\n"
         "run.rep:40: warning: value \"-1.#IND00\" is not a number\n",
         true},
        {{{5, " 1999  100  87.4"}, {6, " Input  100  112.9"}},
         "run.rep:5: warning: row is labelled 1999 where year 2000 was expected\n",
         true},
        {{{29, nullptr}},
         "run.rep: warning: index 1 has no row for 2000 in section \"Index data\" (index fits)\n",
         false},
        {{{63, " +2001x inf"}},
         "run.rep:63: warning: row is labelled +2001x where year 2000 was expected\n"
         "run.rep:63: warning: row has 2 of 4 values; the missing ones are zeros\n"
         "run.rep:63: warning: value \"inf\" is not a number\n",
         true},
        // Report text is quoted shortened, and without the control bytes it held.
        {{{5, " \x1b[31m2000  100  87.4"}, {11, kLongLabelRow.c_str()}},
         "run.rep:5: warning: row is labelled \\x1b[31m2000 where year 2000 was expected\n"
         "run.rep:11: warning: row is labelled " +
             std::string(40, 'y') + "... where year 2000 was expected\n",
         true},
        {{{29, "2000 1 1 1\n 2000  3.5   3.62  -0.15"}},
         "run.rep:30: warning: year 2000 appears again for index 1; this row replaces the one on "
         "line 29\n",
         false},
        // A block one line short, and one missing, before the next section's heading.
        {{{41, nullptr}, {42, nullptr}},
         "run.rep:41: warning: section \"Average F\" (average F) ends early at the heading "
         "\"Population Numbers\"\n",
         true},
        {{{27, nullptr}, {28, nullptr}, {29, nullptr}, {30, nullptr}, {31, nullptr}},
         "run.rep:27: warning: section \"Index data\" (index fits) ends early at the heading "
         "\"Input and Estimated effective sample sizes\"\n"
         "run.rep: warning: index 1 has no row for 2000-2001 in section \"Index data\" (index "
         "fits)\n",
         true},
        {{{52, nullptr}, {53, nullptr}},
         "run.rep:52: warning: section \"Proportions of catch\" (catch proportions) ends early at "
         "the heading \"Proportions of Discards\"\n",
         true},
    };
    for (const auto& c : cases) {
        edit_report(c.edits);
        auto result = run_program(dir_.path(), {"--warn", "run.dat"});
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.error_output, c.findings);
        result = run_program(dir_.path(), {"--strict", "run.dat"});
        EXPECT_EQ(result.exit_status, c.fails_strict ? 1 : 0) << c.findings;
        EXPECT_EQ(result.error_output,
                  c.findings +
                      (c.fails_strict ? "run.tmp: error: summary not written (--strict)\n" : ""));
    }
}

// --nan writes NaN in exactly the cells that the report should have filled and did not, where the
// plain run writes zeros; on a complete report it changes nothing.
TEST_F(EditedReportTest, NanWritesExactlyTheCellsTheReportLacked) {
    using Cell = std::pair<int, int>;  // summary line from 1, field from 0
    const struct {
        std::vector<Edit> edits;
        int kept_lines;
        std::vector<Cell> nan_cells;
    } cases[] = {
        {{}, 1000, {}},
        {{{41, " 2001  0.28  0.27"}}, 1000, {{47, 1}}},        // a short row
        {{{30, nullptr}}, 1000, {{38, 1}, {39, 1}, {40, 1}}},  // a survey year without a row
        {{}, 63, {{52, 1}, {54, 1}, {55, 1}}},                 // the file ends inside
        {{{61, "Spawning stock lost"}},
         1000,
         {{52, 0}, {52, 1}, {54, 0}, {54, 1}, {55, 0}, {55, 1}}},
        // Blocks cut short by the next heading: that section is read whole.
        {{{41, nullptr}, {42, nullptr}}, 1000, {{45, 1}, {46, 1}, {47, 1}}},
        {{{27, nullptr}, {28, nullptr}, {29, nullptr}, {30, nullptr}, {31, nullptr}},
         1000,
         {{38, 0}, {38, 1}, {39, 0}, {39, 1}, {40, 0}, {40, 1}}},
        {{{52, nullptr}, {53, nullptr}}, 1000, {}},
    };
    for (const auto& c : cases) {
        edit_report(c.edits, c.kept_lines);
        ASSERT_EQ(run_program(dir_.path(), {"run.dat"}).exit_status, 0);
        const std::string plain_summary = read_file(dir_.file("run.tmp"));
        const auto plain = summary_fields();
        ASSERT_EQ(run_program(dir_.path(), {"--nan", "run.dat"}).exit_status, 0);
        const auto with_nan = summary_fields();
        ASSERT_EQ(with_nan.size(), plain.size());
        std::vector<Cell> changed;
        for (std::size_t l = 0; l < plain.size(); ++l) {
            for (std::size_t f = 0; f < plain[l].size(); ++f) {
                if (with_nan[l][f] == plain[l][f]) continue;
                changed.emplace_back(static_cast<int>(l) + 1, static_cast<int>(f));
                EXPECT_EQ(plain[l][f] + " " + with_nan[l][f], "0.000000E+000 NaN");
            }
        }
        EXPECT_EQ(changed, c.nan_cells) << c.kept_lines;
        if (c.nan_cells.empty()) {
            EXPECT_EQ(read_file(dir_.file("run.tmp")), plain_summary);
        }
    }
}

// Each section removed in turn, from its heading to the next one: with --nan, exactly the cells of
// that section are NaN, and every other section is read as in the complete report.
TEST_F(EditedReportTest, AMissingSectionCostsOnlyItsOwnCells) {
    const struct {
        int heading_line;
        int last_line;
        std::vector<int> summary_lines;
    } sections[] = {
        {4, 9, {23, 24}},       {10, 15, {26, 27}}, {16, 20, {19}},         {21, 25, {21}},
        {26, 31, {38, 39, 40}}, {32, 36, {42, 43}}, {37, 42, {45, 46, 47}}, {43, 46, {49, 50}},
        {47, 53, {}},           {54, 60, {}},       {61, 64, {52, 54, 55}},
    };
    ASSERT_EQ(run_program(dir_.path(), {"run.dat"}).exit_status, 0);
    const auto complete = summary_fields();
    for (const auto& section : sections) {
        std::vector<Edit> edits;
        for (int line = section.heading_line; line <= section.last_line; ++line)
            edits.emplace_back(line, nullptr);
        edit_report(edits);
        ASSERT_EQ(run_program(dir_.path(), {"--nan", "run.dat"}).exit_status, 0);
        const auto damaged = summary_fields();
        ASSERT_EQ(damaged.size(), complete.size());
        for (std::size_t l = 0; l < complete.size(); ++l) {
            const bool lost =
                std::count(section.summary_lines.begin(), section.summary_lines.end(), l + 1) > 0;
            for (std::size_t f = 0; f < complete[l].size(); ++f) {
                EXPECT_EQ(damaged[l][f], lost ? "NaN" : complete[l][f])
                    << "without the section at line " << section.heading_line << ", summary line "
                    << l + 1;
            }
        }
    }
}

TEST_F(EndToEndTest, AnOlderReportIsNamedButDoesNotFailAStrictRun) {
    copy_run("examples/tiny", "run");
    const auto input_time = fs::last_write_time(dir_.file("run.dat"));
    fs::last_write_time(dir_.file("run.rep"), input_time - std::chrono::hours(1));
    const auto result = run_program(dir_.path(), {"--strict", "run.dat"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.error_output,
              "run.rep: warning: older than run.dat; it may be from an earlier run\n");
    EXPECT_EQ(read_file(dir_.file("run.tmp")), read_file(source_path("tests/golden/tiny.tmp")));
}

TEST_F(EndToEndTest, AfterADoubleDashAnOptionWordIsAFileName) {
    fs::copy_file(source_path("examples/tiny.dat"), dir_.file("-h"));
    fs::copy_file(source_path("examples/tiny.rep"), dir_.file("-h.rep"));
    const auto result = run_program(dir_.path(), {"--warn", "--", "-h"});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.error_output, "");
    EXPECT_EQ(read_file(dir_.file("-h.tmp")), read_file(source_path("tests/golden/tiny.tmp")));
}

TEST_F(EndToEndTest, DerivesTheOtherNamesFromTheFileNameOnly) {
    fs::create_directory(dir_.file("runs.v2"));
    copy_run("examples/tiny", "runs.v2/base");
    fs::rename(dir_.file("runs.v2/base.dat"), dir_.file("runs.v2/base"));
    EXPECT_EQ(run_program(dir_.path(), {"runs.v2/base"}).exit_status, 0);
    EXPECT_TRUE(file_exists(dir_.file("runs.v2/base.tmp")));
    EXPECT_FALSE(file_exists(dir_.file("runs.tmp")));

    copy_run("examples/tiny", "model.run2");
    EXPECT_EQ(run_program(dir_.path(), {"model.run2.dat"}).exit_status, 0);
    EXPECT_TRUE(file_exists(dir_.file("model.run2.tmp")));
}

TEST_F(EndToEndTest, AMissingFileNamesItAndWritesNoSummary) {
    auto result = run_program(dir_.path(), {"absent.dat"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output, "Unable to Open Telk Input Data File: absent.dat\n");

    fs::copy_file(source_path("examples/tiny.dat"), dir_.file("lonely.dat"));
    result = run_program(dir_.path(), {"lonely.dat"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output, "Unable to Open Telk Input Data File: lonely.rep\n");
    EXPECT_FALSE(file_exists(dir_.file("lonely.tmp")));
}

TEST_F(EndToEndTest, ABadInputFileLeavesAnOlderSummaryAsItWas) {
    copy_run("examples/tiny", "run");
    std::string text = read_file(dir_.file("run.dat"));
    text.replace(text.find("0.25 0.75"), 9, "0.25");
    testing::write_file(dir_.file("run.dat"), text);
    testing::write_file(dir_.file("run.tmp"), "older summary\r\n");

    const auto result = run_program(dir_.path(), {"run.dat"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output,
              "Bad Telk Input Data File: run.dat line 20: expected 2 values, found 1\n");
    EXPECT_EQ(read_file(dir_.file("run.tmp")), "older summary\r\n");
}

TEST_F(EndToEndTest, AWrongVersionStopsBeforeAnyOtherFileIsTouched) {
    testing::write_file(dir_.file("old.dat"), "TELK VERSION 1.9\n# old\n");
    const auto result = run_program(dir_.path(), {"old.dat"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output, "Input File is Not Current TELK Version: old.dat\n");
    EXPECT_FALSE(file_exists(dir_.file("old.tmp")));
}

TEST_F(EndToEndTest, HugeDeclaredDimensionsInATinyFileEndInOneLineNotAKill) {
    if (testing::kAddressSanitizer) GTEST_SKIP() << "the sanitizer cannot run under ulimit -v";
    testing::write_file(dir_.file("huge.dat"),
                        "TELK VERSION 2.0\n# huge\n32767\n1\n32767\n32767\n32767\n32767\n"
                        "0.2 0.2\n");
    testing::write_file(dir_.file("huge.rep"), "");
    for (const std::string setup : {"", "ulimit -v 2097152;"}) {
        const auto result = run_program(dir_.path(), {"huge.dat"}, setup);
        EXPECT_EQ(result.exit_status, 1) << setup;
        const bool ends_early =
            result.error_output ==
            "Bad Telk Input Data File: huge.dat line 9: expected 32767 values, found 2\n";
        const bool out_of_memory =
            result.error_output ==
            "Not Enough Memory for the Tables of Telk Input Data File: huge.dat\n";
        EXPECT_TRUE(ends_early || out_of_memory) << setup << ": " << result.error_output;
        EXPECT_FALSE(file_exists(dir_.file("huge.tmp")));
    }
}

TEST_F(EndToEndTest, AnUnwritableSummaryIsReported) {
    copy_run("examples/tiny", "run");
    fs::create_directory(dir_.file("run.tmp"));
    auto result = run_program(dir_.path(), {"run.dat"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output, "Unable to Open Output File: run.tmp\n");

    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    fs::remove(dir_.file("run.tmp"));
    fs::create_symlink("/dev/full", dir_.file("run.tmp"));
    result = run_program(dir_.path(), {"run.dat"});
    EXPECT_NE(result.exit_status, 0);
    EXPECT_EQ(result.error_output, "Unable to Write Output File: run.tmp\n");
}

}  // namespace
}  // namespace scantelk

namespace scantelk {
namespace {

// The fits file of the worked example, whole, and of the realistic one by its ends and length;
// the summary is the same with and without it.
TEST_F(EndToEndTest, FitsWritesEveryCatchAndCompositionFitBesideTheSameSummary) {
    copy_run("examples/tiny", "run");
    ASSERT_EQ(run_program(dir_.path(), {"--fits", "run.dat"}).exit_status, 0);
    EXPECT_EQ(read_file(dir_.file("run.tmp")), read_file(source_path("tests/golden/tiny.tmp")));
    EXPECT_EQ(read_file(dir_.file("run.fits.csv")),
              "table,fleet,year,age,observed,predicted\n"
              "catch,1,2000,,1500,1498.2\ncatch,1,2001,,1250.5,1260.1\n"
              "discards,1,2000,,0,0\ndiscards,1,2001,,0,0\n"
              "catch_proportions,1,2000,1,0.6,0.58\ncatch_proportions,1,2000,2,0.4,0.42\n"
              "catch_proportions,1,2001,1,0.55,0.56\ncatch_proportions,1,2001,2,0.45,0.44\n"
              "discard_proportions,1,2000,1,0,0\ndiscard_proportions,1,2000,2,0,0\n"
              "discard_proportions,1,2001,1,0,0\ndiscard_proportions,1,2001,2,0,0\n");

    copy_run("examples/haddock", "haddock");
    ASSERT_EQ(run_program(dir_.path(), {"haddock.dat", "--fits"}).exit_status, 0);
    EXPECT_EQ(read_file(dir_.file("haddock.tmp")),
              read_file(source_path("tests/golden/haddock.tmp")));
    const std::string fits = read_file(dir_.file("haddock.fits.csv"));
    // 2 fleets and 40 years of catch and of discards, and of proportions at 10 ages.
    EXPECT_EQ(std::count(fits.begin(), fits.end(), '\n'), 1 + 2 * 2 * 40 + 2 * 2 * 40 * 10);
    EXPECT_EQ(fits.substr(fits.rfind('\n', fits.size() - 2) + 1),
              "discard_proportions,2,2021,10,0,0\n");
}

// What the report lacked is an empty field of the fits file, whatever --nan says, and short
// proportions rows are named; the predicted total is read without findings of its own.
TEST_F(EditedReportTest, FitsLeaveWhatTheReportLackedEmpty) {
    const struct {
        std::vector<Edit> edits;
        int kept_lines;
        std::vector<std::string> fits_lines;  // lines expected among the file's
        std::string findings;
    } cases[] = {
        {{{18, " 2000  1500"}}, 1000, {"catch,1,2000,,1500,"}, ""},
        {{{49, " 2000 obs = 0.6"}, {50, " 2000 pred 0.58 0.42"}},
         1000,
         {"catch_proportions,1,2000,1,0.6,", "catch_proportions,1,2000,2,,"},
         "run.rep:49: warning: row has 1 of 2 values; the missing ones are empty\n"
         "run.rep:50: warning: row has 0 of 2 values; the missing ones are empty\n"},
        {{{54, nullptr}, {55, nullptr}},
         1000,
         {"discard_proportions,1,2000,1,,", "discard_proportions,1,2001,2,,"},
         "run.rep: warning: section \"Proportions of Discards\" (discard proportions) not found "
         "after line 52\n"},
        {{},
         51,
         {"catch_proportions,1,2001,1,0.55,", "discard_proportions,1,2001,2,,"},
         "run.rep: warning: file ends at line 51 inside section \"Proportions of catch\" (catch "
         "proportions)\n"},
    };
    for (const auto& c : cases) {
        edit_report(c.edits, c.kept_lines);
        for (const char* missing : {"--warn", "--nan"}) {
            const auto result = run_program(dir_.path(), {"--fits", "--warn", missing, "run.dat"});
            EXPECT_EQ(result.exit_status, 0);
            EXPECT_EQ(result.error_output.substr(0, c.findings.size()), c.findings);
            std::string fits = read_file(dir_.file("run.fits.csv"));
            fits.insert(0, 1, '\n');
            for (const std::string& line : c.fits_lines) {
                std::string whole_line(1, '\n');
                whole_line.append(line).append(1, '\n');
                EXPECT_NE(fits.find(whole_line), std::string::npos) << line;
            }
        }
    }
}

// Like the summary, the fits file is written only when the summary is, never over an input.
TEST_F(EditedReportTest, FitsAreWrittenOnlyWithTheSummary) {
    testing::write_file(dir_.file("run.fits.csv"), "older fits\n");
    edit_report({{49, " 2000 obs = 0.6"}});
    auto result = run_program(dir_.path(), {"--fits", "--strict", "run.dat"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(read_file(dir_.file("run.fits.csv")), "older fits\n");
    EXPECT_FALSE(file_exists(dir_.file("run.tmp")));

    fs::remove(dir_.file("run.fits.csv"));
    fs::create_symlink("run.rep", dir_.file("run.fits.csv"));
    result = run_program(dir_.path(), {"--fits", "run.dat"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.error_output, "Fits File Would Replace an Input File: run.fits.csv\n");
    EXPECT_FALSE(file_exists(dir_.file("run.tmp")));
}

}  // namespace
}  // namespace scantelk
