#include "summary/summary_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "summary/number_field.h"
#include "test_support.h"

namespace scantelk {
namespace {

using testing::read_file;
using testing::TempDir;

class SummaryFileTest : public ::testing::Test {
  protected:
    void allocate(int years, int ages, int fleets, int indices) {
        data_.n_years = static_cast<std::int16_t>(years);
        data_.first_year = 1990;
        data_.n_ages = static_cast<std::int16_t>(ages);
        data_.n_fleets = static_cast<std::int16_t>(fleets);
        data_.n_indices = static_cast<std::int16_t>(indices);
        ASSERT_TRUE(alloc_tables(data_));
    }

    // Writes the summary and splits it at CR-LF; any other line end fails the test.
    std::vector<std::string> write_lines() {
        EXPECT_FALSE(write_summary_file(path_, data_));
        const std::string text = read_file(path_);
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "last line without CR-LF";
                break;
            }
            lines.push_back(text.substr(start, end - start));
            EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos);
            start = end + 2;
        }
        return lines;
    }

    // The lines after the heading, up to the next heading in `lines`.
    static std::vector<std::string> block(const std::vector<std::string>& lines,
                                          const std::string& heading, std::size_t count) {
        for (std::size_t n = 0; n < lines.size(); ++n) {
            if (lines[n] == heading) {
                return {lines.begin() + static_cast<long>(n) + 1,
                        lines.begin() + static_cast<long>(n + 1 + count)};
            }
        }
        ADD_FAILURE() << "no heading " << heading;
        return {};
    }

    TempDir dir_;
    std::string path_ = dir_.file("run.tmp");
    AssessmentData data_;
};

TEST_F(SummaryFileTest, HasTheDocumentedNumberOfLines) {
    allocate(3, 4, 2, 3);
    data_.index_specs[0].value[6] = 1;
    data_.index_specs[2].value[6] = 1;
    const auto lines = write_lines();
    EXPECT_EQ(lines.size(), 32u + 6 * 4 + 6 * 2 + 5 * 2);
    EXPECT_EQ(lines[1], "3  1990  4  2  3");
    for (const auto& line : block(lines, "Natural Mortality", 4))
        EXPECT_EQ(line.size(), 48u);
}

TEST_F(SummaryFileTest, TransposesTablesOneLinePerColumn) {
    allocate(2, 2, 2, 0);
    data_.nat_mort.at(1, 0) = 5.0;
    data_.catch_ess.at(0, 3) = 7.0;
    data_.avg_f.at(1, 2) = 0.5;
    data_.obs_recruits[0] = 100.0;
    const auto lines = write_lines();
    EXPECT_EQ(block(lines, "Natural Mortality", 1)[0], "0.000000E+000   5.000000E+000   ");
    EXPECT_EQ(block(lines, "Catch - Input & Effective Sample Size", 4)[3],
              "7.000000E+000   0.000000E+000   ");
    EXPECT_EQ(block(lines, "Average F", 3)[2], "  0.000000E+000   5.000000E-001 ");
    EXPECT_EQ(block(lines, "Observed & Predicted Recruitment", 1)[0],
              "  1.000000E+002   0.000000E+000 ");
}

// The writer fills several lines side by side and gathers their cells many rows at a time; every
// cell must still land in its own line and field past those group boundaries.
TEST_F(SummaryFileTest, EveryCellLandsInItsLineAndFieldInLargeTables) {
    const int years = 130;
    const int ages = 37;
    allocate(years, ages, 1, 0);
    for (int y = 0; y < years; ++y) {
        for (int a = 0; a < ages; ++a)
            data_.stock_numbers.at(y, a) = 1000.0 * a + y + 1;
    }
    const auto lines = block(write_lines(), "Stock Numbers", ages);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(ages));
    for (int a = 0; a < ages; ++a) {
        std::string expected;
        for (int y = 0; y < years; ++y) {
            char field[kFieldWidth];
            const double value = 1000.0 * a + y + 1;
            write_number_fields(field, &value, 1, FieldAlign::left);
            expected.append(field, kFieldWidth);
        }
        EXPECT_EQ(lines[static_cast<std::size_t>(a)], expected) << "age " << a;
    }
}

TEST_F(SummaryFileTest, NoYearsGivesEmptyDataLines) {
    allocate(0, 2, 1, 1);
    data_.index_specs[0].value[6] = 1;
    const auto lines = write_lines();
    EXPECT_EQ(lines.size(), 32u + 12 + 6 + 5);
    EXPECT_EQ(block(lines, "Maturity", 2), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(block(lines, "Index Specification", 2)[1], " 0        ");
    EXPECT_EQ(block(lines, "Spawning Stock Biomass", 1)[0], "");
}

TEST_F(SummaryFileTest, NoIndicesGivesEmptySpecificationLinesAndNoIndexLines) {
    allocate(2, 1, 1, 0);
    const auto lines = write_lines();
    EXPECT_EQ(block(lines, "Index Specification", 8), std::vector<std::string>(8, ""));
    EXPECT_EQ(block(lines, "Index Observed, Predicted, Standardized Residual", 1)[0],
              "Index Input & Effective Sample Size");
    EXPECT_EQ(block(lines, "Index Input & Effective Sample Size", 1)[0], "Average F");
}

TEST_F(SummaryFileTest, UseFlagsFilterOnlyTheIndexValueBlocks) {
    allocate(1, 1, 1, 3);
    const int flags[] = {1, 0, -1};
    for (int i = 0; i < 3; ++i) {
        data_.index_specs[i].value[0] = static_cast<std::int16_t>(i == 1 ? -10 : i + 1);
        data_.index_specs[i].value[6] = static_cast<std::int16_t>(flags[i]);
        data_.index_obs.at(0, i) = 10.0 * (i + 1);
        data_.index_eff_ess.at(0, i) = 100.0 * (i + 1);
    }
    const auto lines = write_lines();
    const auto labels_and_values = block(lines, "Index Specification", 8);
    EXPECT_EQ(labels_and_values[0], "INDEX-01  INDEX-02  INDEX-03  ");
    EXPECT_EQ(labels_and_values[1], " 1        -10         3        ");
    EXPECT_EQ(labels_and_values[7], " 1         0        -1        ");
    const auto fits = block(lines, "Index Observed, Predicted, Standardized Residual", 7);
    EXPECT_EQ(fits[0], "  1.000000E+001 ");
    EXPECT_EQ(fits[3], "  3.000000E+001 ");
    EXPECT_EQ(fits[6], "Index Input & Effective Sample Size");
    const auto sizes = block(lines, "Index Input & Effective Sample Size", 5);
    EXPECT_EQ(sizes[1], "  1.000000E+002 ");
    EXPECT_EQ(sizes[3], "  3.000000E+002 ");
    EXPECT_EQ(sizes[4], "Average F");
}

TEST_F(SummaryFileTest, NumbersIndicesPastNinetyNineInFull) {
    allocate(1, 1, 1, 101);
    const auto labels = block(write_lines(), "Index Specification", 1)[0];
    EXPECT_EQ(labels.substr(0, 10), "INDEX-01  ");
    EXPECT_EQ(labels.substr(98 * 10, 10), "INDEX-99  ");
    EXPECT_EQ(labels.substr(99 * 10), "INDEX-100  INDEX-101  ");
}

TEST_F(SummaryFileTest, WritesTheTitleUnchanged) {
    allocate(1, 1, 1, 0);
    data_.title = "100% of %s and %d";
    EXPECT_EQ(write_lines()[0], "100% of %s and %d");
}

TEST_F(SummaryFileTest, ReplacesALongerFileWhole) {
    allocate(1, 1, 1, 0);
    testing::write_file(path_, std::string(100000, '~'));
    const auto lines = write_lines();
    EXPECT_EQ(lines.size(), 32u + 6 + 6);
    EXPECT_EQ(read_file(path_).find('~'), std::string::npos);
}

TEST_F(SummaryFileTest, AFileThatCannotBeCreatedStopsWithStatusOne) {
    allocate(1, 1, 1, 0);
    const std::string path = dir_.file("no-such-folder/run.tmp");
    const StageResult error = write_summary_file(path, data_);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "Unable to Open Output File: " + path);
    EXPECT_EQ(error->exit_status, 1);
}

TEST_F(SummaryFileTest, AFullDiskIsAFailureNotSuccess) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    allocate(2, 2, 1, 0);
    std::filesystem::create_symlink("/dev/full", path_);
    const StageResult error = write_summary_file(path_, data_);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "Unable to Write Output File: " + path_);
    EXPECT_NE(error->exit_status, 0);
}

}  // namespace
}  // namespace scantelk
