#include "report/report_scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support.h"

namespace scantelk {
namespace {

using testing::lines_of;
using testing::TempDir;

class ReportScanTest : public ::testing::Test {
  protected:
    void open(const std::string& content) {
        testing::write_file(dir_.file("run.rep"), content);
        ASSERT_TRUE(reader_.open(dir_.file("run.rep")));
    }
    std::string next_line() {
        reader_.read_line();
        return std::string(reader_.line());
    }

    TempDir dir_;
    AssessmentData data_;
    ReportFindings findings_;
    ReportReader reader_{data_, findings_};
};

TEST_F(ReportScanTest, FindsHeadingsAsExactSubstrings) {
    open(lines_of({"average f", "--- Average F by year ---", "after", "Average F again", "x"}));
    reader_.find_section({"Average F", "test"});
    EXPECT_EQ(next_line(), "after");
    reader_.find_section({"Average F", "test"});
    EXPECT_EQ(next_line(), "x");
    reader_.find_section({"after", "test"});
    EXPECT_FALSE(reader_.section_found()) << "an earlier occurrence is never found again";
}

TEST_F(ReportScanTest, FindsAHeadingOnTheLastLineWithOrWithoutALineFeed) {
    open("a\nLast heading");
    reader_.find_section({"Last heading", "test"});
    EXPECT_FALSE(reader_.at_end());
    EXPECT_EQ(reader_.line(), "Last heading");

    open("a\r\n# Last heading\r\n");
    reader_.find_section({"Last heading", "test"});
    EXPECT_FALSE(reader_.at_end());
}

// The search past the end of a 3 MB file keeps what it read, since a pipe cannot be repositioned.
TEST_F(ReportScanTest, AMissingHeadingCostsOnlyItsOwnSearch) {
    testing::write_file(dir_.file("report"),
                        lines_of({"a", std::string(3 << 20, 'x'), "Found", "b"}));
    for (const bool through_pipe : {false, true}) {
        FILE* const pipe =
            through_pipe ? popen(("cat " + dir_.file("report")).c_str(), "r") : nullptr;
        ASSERT_TRUE(reader_.open(pipe != nullptr ? "/dev/fd/" + std::to_string(fileno(pipe))
                                                 : dir_.file("report")));
        reader_.skip_lines(1);
        reader_.find_section({"missing", "test"});
        EXPECT_FALSE(reader_.section_found());
        double values[1] = {9};
        reader_.read_year_row(0, values);
        EXPECT_EQ(values[0], 9.0) << "a section not found reads no line";
        reader_.find_section({"Found", "test"});
        EXPECT_EQ(next_line(), "b") << (through_pipe ? "pipe" : "file");
        if (pipe != nullptr) pclose(pipe);
    }
}

TEST_F(ReportScanTest, AFileEndingInsideAFoundSectionEndsEveryLaterSearch) {
    open(lines_of({"1 2 3"}));
    reader_.find_section({"1 2", "test"});
    double values[3] = {9, 9, 9};
    reader_.read_year_row(0, values);
    EXPECT_TRUE(reader_.at_end());
    EXPECT_EQ(values[0], 9.0) << "nothing is written past the end";
    reader_.find_section({"1 2", "test"});
    EXPECT_TRUE(reader_.at_end());
    reader_.skip_lines(std::int64_t{1} << 40);
}

TEST_F(ReportScanTest, SkipLinesCountsEveryLine) {
    open(lines_of({"# not a comment", "", std::string(3000, 'x'), "a", "b"}));
    reader_.skip_lines(3);
    EXPECT_EQ(next_line(), "a");
}

TEST_F(ReportScanTest, YearAndPlainRowsTakeTokensByPosition) {
    open(lines_of({"1990 12.5 13.0 extra", "1.5e6 2.0e5\t1.0e4", "1991 7", " ", "-2 abc 12abc"}));
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 5, 4));
    reader_.read_year_row(table, 0, 1, 2);
    reader_.read_plain_row(table, 1, 0, 3);
    reader_.read_year_row(table, 2, 0, 3);
    reader_.read_plain_row(table, 3, 0, 1);
    reader_.read_plain_row(table, 4, 0, 3);
    const double expected[5][4] = {
        {0.0, 12.5, 13.0, 0.0},  // from column 1 on; "extra" is past the row's values
        {1.5e6, 2.0e5, 1.0e4, 0.0},
        {7.0, 0.0, 0.0, 0.0},  // a short row reads its missing values as 0
        {0.0, 0.0, 0.0, 0.0},
        {-2.0, 0.0, 12.0, 0.0},
    };
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(table.at(r, c), expected[r][c]) << r << "," << c;
    }
}

TEST(IsDigitLed, LooksAtTheFirstCharacterOfTheFirstToken) {
    EXPECT_TRUE(is_digit_led("2001 1 2"));
    EXPECT_TRUE(is_digit_led("  \t0abc"));
    for (const char* line : {"Index", "Year", "-5 1", ".5", "+3", "#1", "", " \t "}) {
        EXPECT_FALSE(is_digit_led(line)) << line;
    }
}

class DigitBlockTest : public ReportScanTest {
  protected:
    void SetUp() override {
        data_.n_years = 6;
        data_.first_year = 1980;
        data_.n_indices = 2;
        ASSERT_TRUE(alloc_tables(data_));
    }
    void read_block(int column) {
        YearTable* const tables[] = {&data_.index_obs, &data_.index_pred};
        reader_.read_digit_block(column, tables);
    }
};

TEST_F(DigitBlockTest, PlacesRowsByTheirYearInAnyOrder) {
    open(lines_of({"Index", "Year", "-5", ".5", "1985 5 50", "1982 2 20 extra", "1981 1",
                   "1982 3 30", "-1 ends", "1984 4 40"}));
    read_block(1);
    EXPECT_EQ(data_.index_obs.at(5, 1), 5.0);
    EXPECT_EQ(data_.index_pred.at(5, 1), 50.0);
    EXPECT_EQ(data_.index_obs.at(2, 1), 3.0) << "a repeated year's later row stands";
    EXPECT_EQ(data_.index_pred.at(2, 1), 30.0);
    EXPECT_EQ(data_.index_obs.at(1, 1), 1.0);
    EXPECT_EQ(data_.index_pred.at(1, 1), 0.0);
    EXPECT_EQ(data_.index_obs.at(0, 1), 0.0);
    EXPECT_EQ(data_.index_obs.at(5, 0), 0.0);
    EXPECT_EQ(next_line(), "1984 4 40") << "the line that ends a block is consumed";
}

TEST_F(DigitBlockTest, ABlankLineEndsABlockAndTheNextSeekStartsAfterIt) {
    open(lines_of({"1980 1 1", "", "1981 2 2", "title", "1983 3 3"}));
    read_block(0);
    read_block(1);
    EXPECT_EQ(data_.index_obs.at(0, 0), 1.0);
    EXPECT_EQ(data_.index_obs.at(1, 0), 0.0);
    EXPECT_EQ(data_.index_obs.at(1, 1), 2.0);
    EXPECT_EQ(data_.index_obs.at(3, 1), 0.0);
}

TEST_F(DigitBlockTest, PassesOverYearsOutsideTheRun) {
    open(lines_of(
        {"1979 9 9", "1986 9 9", "34747 9 9", "99999999999999999999 9 9", "1983abc 3 3", "0 9 9"}));
    read_block(0);
    double sum = 0;
    for (int y = 0; y < 6; ++y)
        sum += data_.index_obs.at(y, 0) + data_.index_obs.at(y, 1);
    EXPECT_EQ(sum, 3.0);
    EXPECT_EQ(data_.index_obs.at(3, 0), 3.0);
}

TEST_F(DigitBlockTest, AHugeYearIsOutsideARunThatStartsBeforeYearZero) {
    data_.first_year = -1;
    open(lines_of({"99999999999999999999 9 9", "9223372036854775807 9 9", "0 1 1"}));
    read_block(0);
    double sum = 0;
    for (int y = 0; y < 6; ++y)
        sum += data_.index_obs.at(y, 0);
    EXPECT_EQ(sum, 1.0) << "only year 0, row 1, is inside the run";
    EXPECT_EQ(data_.index_obs.at(1, 0), 1.0);
}

TEST_F(DigitBlockTest, TheSeekPassesOverLinesWithoutAToken) {
    open(lines_of({"", "   ", "\t", "1980 4 5"}));
    read_block(0);
    EXPECT_EQ(data_.index_obs.at(0, 0), 4.0);
    EXPECT_EQ(data_.index_pred.at(0, 0), 5.0);
}

TEST_F(DigitBlockTest, EndsAtEndOfFile) {
    open("1980 1 1\n1981 2 2");
    read_block(0);
    EXPECT_EQ(data_.index_obs.at(1, 0), 2.0);
    read_block(1);
    EXPECT_TRUE(reader_.at_end());
}

}  // namespace
}  // namespace scantelk
