#include "input/data_line.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace scantelk {
namespace {

using testing::TempDir;

// Reads data lines from a file and keeps the file open for the test's calls.
class DataLineTest : public ::testing::Test {
  protected:
    void open(const std::string& content) {
        testing::write_file(dir_.file("in"), content);
        ASSERT_TRUE(reader_.open(dir_.file("in").c_str()));
    }
    DataLineStatus next() { return read_data_line(reader_, line_); }

    TempDir dir_;
    LineReader reader_;
    std::string_view line_;
};

TEST_F(DataLineTest, SkipsCommentRunsAndCutsTrailingComments) {
    open("# a\n# b\n5 6 # note\nabc#def#ghi\n");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "5 6 ");
    EXPECT_EQ(reader_.line_number(), 3);
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "abc");
}

TEST_F(DataLineTest, EmptyAndIndentedCommentLinesAreDataLines) {
    open("\n   \n  # indented\n#x\n7");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "   ");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "  ");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "7");
    EXPECT_EQ(reader_.line_number(), 5);
}

TEST_F(DataLineTest, EndOfFileLeavesTheLineUntouched) {
    open("1 2\n");
    ASSERT_EQ(next(), DataLineStatus::data_line);
    const std::string_view before = line_;
    EXPECT_EQ(next(), DataLineStatus::end_of_file);
    EXPECT_EQ(line_.data(), before.data());
    EXPECT_EQ(line_.size(), before.size());
}

TEST_F(DataLineTest, CommentsRunningToTheEndGiveAnEmptyLine) {
    open("1\n# last\n# comments");
    ASSERT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(next(), DataLineStatus::comments_to_end);
    EXPECT_EQ(line_, "");
    EXPECT_EQ(next(), DataLineStatus::end_of_file);
}

TEST_F(DataLineTest, CarriageReturnLineEndsReadAsLineFeeds) {
    open("# c\r\n4 5\r\n\r\n");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "4 5");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "");
}

TEST_F(DataLineTest, LongLinesAreOneLineWhetherCommentOrData) {
    const std::string long_comment = "#" + std::string(2999, 'c');
    const std::string long_data(2500, '1');
    open(long_comment + "\n" + long_data + " #" + std::string(600, 'x') + "\n9\n");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, long_data + " ");
    EXPECT_EQ(next(), DataLineStatus::data_line);
    EXPECT_EQ(line_, "9");
}

}  // namespace
}  // namespace scantelk
