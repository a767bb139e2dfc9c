#include "util/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace scantelk {
namespace {

using testing::TempDir;
using testing::write_file;

std::vector<std::string> all_lines(const std::string& content) {
    TempDir dir;
    write_file(dir.file("f"), content);
    LineReader reader;
    EXPECT_TRUE(reader.open(dir.file("f").c_str()));
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.read_line(line))
        lines.emplace_back(line);
    EXPECT_FALSE(reader.read_line(line)) << "end of file must stay the end";
    EXPECT_FALSE(reader.read_failed());
    return lines;
}

TEST(LineReader, SplitsAtLineFeedsAndDropsACarriageReturnBeforeOne) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(all_lines("a b\n\nc\n"), (Lines{"a b", "", "c"}));
    EXPECT_EQ(all_lines("a b\r\n\r\nc\r\n"), (Lines{"a b", "", "c"}));
    EXPECT_EQ(all_lines("last without feed"), (Lines{"last without feed"}));
    EXPECT_EQ(all_lines("x\ry\r\r\n"), (Lines{"x\ry\r"}));
    EXPECT_EQ(all_lines(""), Lines{});
}

TEST(LineReader, DeliversLinesLongerThanItsBlockWhole) {
    const std::string huge(3 << 20, 'x');
    const std::string short_line(3000, 'y');
    const auto lines = all_lines(short_line + "\n" + huge + "\r\n" + "tail");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], short_line);
    EXPECT_EQ(lines[1], huge);
    EXPECT_EQ(lines[2], "tail");
}

TEST(LineReader, CountsPhysicalLines) {
    TempDir dir;
    write_file(dir.file("f"), "1\n2\n3");
    LineReader reader;
    ASSERT_TRUE(reader.open(dir.file("f").c_str()));
    std::string_view line;
    EXPECT_EQ(reader.line_number(), 0);
    while (reader.read_line(line)) {
        EXPECT_EQ(std::to_string(reader.line_number()), std::string(line));
    }
    EXPECT_EQ(reader.line_number(), 3);
}

TEST(LineReader, ReportsAMissingFileAndAnUnreadableOne) {
    TempDir dir;
    LineReader reader;
    EXPECT_FALSE(reader.open(dir.file("missing").c_str()));

    // A directory opens on some systems but cannot be read.
    if (reader.open(dir.path().c_str())) {
        std::string_view line;
        EXPECT_FALSE(reader.read_line(line));
        EXPECT_TRUE(reader.read_failed());
    }
}

}  // namespace
}  // namespace scantelk
