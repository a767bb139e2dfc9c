#include "input/input_file.h"

#include <gtest/gtest.h>

#include "input_builder.h"
#include "test_support.h"

namespace scantelk {
namespace {

using testing::Dimensions;
using testing::input_cell;
using testing::input_lines;
using testing::lines_of;
using testing::spec_value;
using testing::TempDir;

class InputFileTest : public ::testing::Test {
  protected:
    StageResult read(const std::string& content) {
        testing::write_file(path_, content);
        data_ = AssessmentData{};
        return read_input_file(path_, data_);
    }
    StageResult read(const std::vector<std::string>& lines) { return read(lines_of(lines)); }

    // Reads the lines and expects the one-line failure that names the file and line.
    void expect_bad_line(const std::vector<std::string>& lines, long line_number,
                         const std::string& what) {
        const StageResult error = read(lines);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->exit_status, 1);
        EXPECT_EQ(error->message, "Bad Telk Input Data File: " + path_ + " line " +
                                      std::to_string(line_number) + ": " + what);
    }

    void expect_tables_match(const Dimensions& d) {
        const YearTable* tables[] = {&data_.nat_mort, &data_.maturity, &data_.catch_waa,
                                     &data_.ssb_waa, &data_.jan1_waa};
        for (int t = 0; t < 5; ++t) {
            for (int r = 0; r < d.years; ++r) {
                for (int c = 0; c < d.ages; ++c) {
                    ASSERT_EQ((*tables[t]).at(r, c), input_cell(t, r, c))
                        << t << " " << r << " " << c;
                }
            }
        }
        ASSERT_EQ(data_.index_specs.size(), static_cast<std::size_t>(d.indices));
        for (int i = 0; i < d.indices; ++i) {
            for (int k = 0; k < 7; ++k) {
                EXPECT_EQ(data_.index_specs[i].value[k], spec_value(i, k));
            }
        }
    }

    TempDir dir_;
    std::string path_ = dir_.file("run.dat");
    AssessmentData data_;
};

TEST_F(InputFileTest, ReadsDimensionsTablesAndIndexSpecifications) {
    const Dimensions d{3, 1980, 4, 2, 2, 3};
    ASSERT_FALSE(read(input_lines(d).lines));
    EXPECT_EQ(data_.title, "Test run");
    EXPECT_EQ(data_.n_years, 3);
    EXPECT_EQ(data_.first_year, 1980);
    EXPECT_EQ(data_.n_ages, 4);
    EXPECT_EQ(data_.n_fleets, 2);
    EXPECT_EQ(data_.n_sel_blocks, 2);
    EXPECT_EQ(data_.n_indices, 3);
    expect_tables_match(d);
    EXPECT_EQ(data_.catch_ess.columns(), 4);
}

TEST_F(InputFileTest, ChecksTheVersionLineAsAnExactSubstring) {
    auto lines = input_lines(Dimensions{}).lines;
    for (const char* good : {"# TELK VERSION 2.0", "TELK VERSION 2.0 input", "TELK VERSION 2.01"}) {
        lines[0] = good;
        EXPECT_FALSE(read(lines)) << good;
    }
    for (const char* bad : {"telk version 2.0", "TELK  VERSION 2.0", "TELK VERSION 1.0", ""}) {
        lines[0] = bad;
        const StageResult error = read(lines);
        ASSERT_TRUE(error) << bad;
        EXPECT_EQ(error->message, "Input File is Not Current TELK Version: " + path_);
    }
    lines[0] = "version on the next line";
    lines[1] = "TELK VERSION 2.0";
    EXPECT_TRUE(read(lines));
    EXPECT_EQ(read(std::string())->message, "Input File is Not Current TELK Version: " + path_);
}

TEST_F(InputFileTest, TakesTheTitleAfterHashesAndSpaces) {
    auto lines = input_lines(Dimensions{}).lines;
    const std::pair<std::string, std::string> cases[] = {
        {"###  Base run  ", "Base run  "},
        {"#\tRun 1", "\tRun 1"},
        {"# Base # case", "Base # case"},
        {"# # #  ", ""},
        {"1990", "1990"},
        {"100% of 50%", "100% of 50%"},
    };
    for (const auto& [line, title] : cases) {
        lines[1] = line;
        ASSERT_FALSE(read(lines)) << line;
        EXPECT_EQ(data_.title, title);
    }
}

TEST_F(InputFileTest, CommentsAnywhereAmongDataLinesChangeNothing) {
    const Dimensions d{2, 2000, 3, 1, 1, 2};
    std::vector<std::string> commented;
    const auto lines = input_lines(d).lines;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        commented.push_back(lines[n]);
        if (n >= 1) commented.push_back("# comment after line " + std::to_string(n));
        if (n >= 2 && n % 2 == 0) commented.back() += "\n#\n# two more";
    }
    commented[2] += "   # years, with a trailing comment";
    ASSERT_FALSE(read(commented));
    expect_tables_match(d);
}

TEST_F(InputFileTest, CarriageReturnLineEndsReadLikeLineFeeds) {
    const auto lines = input_lines(Dimensions{}).lines;
    std::string crlf;
    for (const auto& line : lines)
        crlf += line + "\r\n";
    ASSERT_FALSE(read(crlf));
    EXPECT_EQ(data_.title, "Test run");
    expect_tables_match(Dimensions{});
}

TEST_F(InputFileTest, ConsumesExactlyTheCountedDataLines) {
    // 22 + 5*3 + 4*1*3 + 1*(2+6) = 57 data lines after the title; the 51st is the first
    // index-specification line.
    const Dimensions d{3, 2000, 2, 1, 1, 2};
    auto in = input_lines(d);
    EXPECT_EQ(in.lines.size() - 2, 57u);
    EXPECT_EQ(in.first_spec_line - 2 + 1, 51u);
    ASSERT_FALSE(read(in.lines));
    expect_tables_match(d);

    in.lines.pop_back();
    expect_bad_line(in.lines, 59, "file ends before the index specifications");
}

TEST_F(InputFileTest, NoFleetsAndNoIndicesStillConsumeTheFixedGroups) {
    const Dimensions d{2, 2000, 2, 0, 0, 0};
    auto in = input_lines(d);
    EXPECT_EQ(in.lines.size() - 2, 22u + 10u);
    ASSERT_FALSE(read(in.lines));
    EXPECT_TRUE(data_.index_specs.empty());
    in.lines.pop_back();
    EXPECT_TRUE(read(in.lines));
}

TEST_F(InputFileTest, ConvertsValuesByTheLeadingNumberRule) {
    auto lines = input_lines(Dimensions{3, 2000, 2, 1, 1, 1}).lines;
    lines[2] = "3.7 # years";
    lines[8] = "2.5D+01 1.5-2 extra values";
    lines[10] = "abc 12abc";
    ASSERT_FALSE(read(lines));
    EXPECT_EQ(data_.n_years, 3);
    EXPECT_EQ(data_.nat_mort.at(0, 0), 25.0);
    EXPECT_EQ(data_.nat_mort.at(0, 1), 1.5);
    EXPECT_EQ(data_.nat_mort.at(2, 0), 0.0);
    EXPECT_EQ(data_.nat_mort.at(2, 1), 12.0);
    EXPECT_EQ(data_.nat_mort.at(1, 1), input_cell(0, 1, 1));
}

TEST_F(InputFileTest, AFileThatEndsEarlyNamesTheLineItNeeded) {
    auto lines = input_lines(Dimensions{}).lines;
    expect_bad_line({"TELK VERSION 2.0"}, 2, "file ends before the title line");
    expect_bad_line({"TELK VERSION 2.0", "# title"}, 3, "file ends before the dimensions");
    expect_bad_line({"TELK VERSION 2.0", "# title", "2", "# only comments", "# to the end"}, 6,
                    "file ends before the dimensions");
    expect_bad_line({lines.begin(), lines.begin() + 9}, 10,
                    "file ends before the natural mortality table");
    expect_bad_line({lines.begin(), lines.begin() + 11}, 12, "file ends before the maturity table");
    expect_bad_line({lines.begin(), lines.begin() + 15}, 16,
                    "file ends before the catch weight table");
    // With these dimensions lines 24 to 31 are the selectivity block lines and 40 to 41 the
    // third group of fleet-by-year lines.
    expect_bad_line({lines.begin(), lines.begin() + 28}, 29,
                    "file ends before the selectivity block lines");
    expect_bad_line({lines.begin(), lines.begin() + 39}, 40,
                    "file ends before the third group of fleet-by-year lines");
}

TEST_F(InputFileTest, AShortLineNamesWhatItLacks) {
    const auto good = input_lines(Dimensions{2, 2000, 2, 1, 1, 3});
    auto lines = good.lines;
    lines[4] = "   # ages missing";
    expect_bad_line(lines, 5, "expected 1 value, found 0");

    lines = good.lines;
    lines[13] = "0.5";
    expect_bad_line(lines, 14, "expected 2 values, found 1");

    lines = good.lines;
    lines[good.first_spec_line + 3] = "1 2 # third value lost";
    expect_bad_line(lines, static_cast<long>(good.first_spec_line) + 4,
                    "expected 3 values, found 2");
}

TEST_F(InputFileTest, RejectsValuesThatDoNotFitAndNegativeCounts) {
    const auto good = input_lines(Dimensions{});
    auto lines = good.lines;
    lines[2] = "70000";
    expect_bad_line(lines, 3, "value 70000 is outside -32768 to 32767");
    lines[2] = "+099999999999999999999999.5";
    expect_bad_line(lines, 3, "value +099999999999999999999999 is outside -32768 to 32767");

    lines = good.lines;
    lines[good.first_spec_line] = "-32769";
    expect_bad_line(lines, static_cast<long>(good.first_spec_line) + 1,
                    "value -32769 is outside -32768 to 32767");

    lines = good.lines;
    lines[4] = "-2";
    expect_bad_line(lines, 5, "number of ages -2 is negative");

    lines = good.lines;
    lines[3] = "-2000";
    lines[good.first_spec_line + 6] = "-1";
    EXPECT_FALSE(read(lines));
    EXPECT_EQ(data_.first_year, -2000);
    EXPECT_TRUE(data_.index_specs[0].used());
}

TEST_F(InputFileTest, ReportsAMissingFile) {
    const std::string missing = dir_.file("missing.dat");
    AssessmentData data;
    const StageResult error = read_input_file(missing, data);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "Unable to Open Telk Input Data File: " + missing);
    EXPECT_EQ(error->exit_status, 1);
}

}  // namespace
}  // namespace scantelk
