#include "report/report_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace scantelk {
namespace {

using testing::lines_of;
using testing::TempDir;
using Lines = std::vector<std::string>;

Lines operator+(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class ReportFileTest : public ::testing::Test {
  protected:
    void SetUp() override { dimension(3, 2, 2, {}); }

    void dimension(int years, int ages, int fleets, const std::vector<int>& use_flags) {
        data_ = AssessmentData{};
        data_.n_years = static_cast<std::int16_t>(years);
        data_.first_year = 2000;
        data_.n_ages = static_cast<std::int16_t>(ages);
        data_.n_fleets = static_cast<std::int16_t>(fleets);
        data_.n_indices = static_cast<std::int16_t>(use_flags.size());
        ASSERT_TRUE(alloc_tables(data_));
        for (std::size_t i = 0; i < use_flags.size(); ++i) {
            data_.index_specs[i].value[6] = static_cast<std::int16_t>(use_flags[i]);
        }
    }

    // Minimal sections 1 .. section-1 for the current dimensions, so that a test's own section
    // is searched from where the sections before it end.
    Lines sections_before(int section) const {
        const int years = data_.n_years;
        const int fleets = data_.n_fleets;
        const int used = static_cast<int>(
            std::count_if(data_.index_specs.begin(), data_.index_specs.end(),
                          [](const IndexSpec& index_spec) { return index_spec.used(); }));
        const struct {
            const char* heading;
            int filler_lines;
            int index_blocks;
        } catalogue[] = {
            {"Input and Estimated effective sample sizes", fleets * (years + 2), 0},
            {"Input and Estimated effective Discard sample sizes", fleets * (years + 2), 0},
            {"Observed and predicted total fleet catch", fleets * (1 + years), 0},
            {"Observed and predicted total fleet Discards", fleets * (1 + years), 0},
            {"Index data", 0, used},
            {"Input and Estimated effective sample sizes", 0, used},
            {"Average F", 2 + years, 0},
            {"Population Numbers", years, 0},
            {"Proportions of catch", fleets * (1 + 2 * years), 0},
            {"Proportions of Discards", fleets * (1 + 2 * years), 0},
        };
        Lines lines;
        for (int n = 0; n + 1 < section; ++n) {
            lines.push_back(catalogue[n].heading);
            lines.insert(lines.end(), static_cast<std::size_t>(catalogue[n].filler_lines),
                         "2000 1 1 1");
            for (int b = 0; b < catalogue[n].index_blocks; ++b) {
                lines.insert(lines.end(), {"1 0 0 0", ""});
            }
        }
        return lines;
    }

    void read(const Lines& lines) {
        testing::write_file(path_, lines_of(lines));
        ReportFindings findings(path_);
        ASSERT_FALSE(read_report_file(path_, data_, findings));
    }

    TempDir dir_;
    std::string path_ = dir_.file("run.rep");
    AssessmentData data_;
};

TEST_F(ReportFileTest, SampleSizeSectionsSkipTwoLinesAfterEveryFleet) {
    read({"Input and Estimated effective sample sizes", "y0 1 2", "y1 3 4", "y2 5 6", "skip 9 9",
          "skip 9 9", "y0 7 8", "y1 9 10", "y2 11 12", "skip 9 9", "skip 9 9",
          "Input and Estimated effective Discard sample sizes", "2000 -1 -2"});
    EXPECT_EQ(data_.catch_ess.at(0, 0), 1.0);
    EXPECT_EQ(data_.catch_ess.at(2, 1), 6.0);
    EXPECT_EQ(data_.catch_ess.at(0, 2), 7.0);
    EXPECT_EQ(data_.catch_ess.at(2, 3), 12.0);
    EXPECT_EQ(data_.discard_ess.at(0, 0), -1.0);
    EXPECT_EQ(data_.discard_ess.at(0, 1), -2.0);
}

TEST_F(ReportFileTest, FleetTotalSectionsSkipALineBeforeEveryFleet) {
    read(sections_before(3) +
         Lines{"Observed and predicted total fleet catch", "2000 99 99", "2000 10 11", "2001 20",
               "2002 30 31", "Fleet 2", "2000 40", "2001 50", "2002 60",
               "Observed and predicted total fleet Discards", "Fleet 1", "x 1", "x 2", "x 3"});
    EXPECT_EQ(data_.catch_by_fleet.at(0, 0), 10.0);
    EXPECT_EQ(data_.catch_by_fleet.at(1, 0), 20.0);
    EXPECT_EQ(data_.catch_by_fleet.at(2, 1), 60.0);
    EXPECT_EQ(data_.discard_by_fleet.at(2, 0), 3.0);
    EXPECT_EQ(data_.discard_by_fleet.at(2, 1), 0.0) << "the file ended inside the section";
}

TEST_F(ReportFileTest, IndexBlocksGoToUsedIndicesInOrder) {
    dimension(6, 1, 1, {1, 0, 1});
    data_.index_obs.at(0, 1) = 99.0;  // cleared before its section even though index 1 is unused
    read(sections_before(5) + Lines{"Index data", "Index 1", "Year obs pred resid", "2002 1 2 3",
                                    "2005 4 5 6", "", "Index 3", "2000 7 8 9",
                                    "2001 10 11 12 extra", "",
                                    "Input and Estimated effective sample sizes", "Index 1",
                                    "2003 50 40", "", "Index 3", "2004 60 30", "-1"});
    EXPECT_EQ(data_.index_obs.at(2, 0), 1.0);
    EXPECT_EQ(data_.index_resid.at(5, 0), 6.0);
    EXPECT_EQ(data_.index_obs.at(3, 0), 0.0) << "years without a row stay 0";
    EXPECT_EQ(data_.index_pred.at(0, 2), 8.0);
    EXPECT_EQ(data_.index_resid.at(1, 2), 12.0);
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(data_.index_obs.at(y, 1), 0.0);
    EXPECT_EQ(data_.index_input_ess.at(3, 0), 50.0);
    EXPECT_EQ(data_.index_eff_ess.at(4, 2), 30.0);
}

TEST_F(ReportFileTest, NoUsedIndexReadsNothingAfterTheIndexHeadings) {
    dimension(2, 1, 1, {0, 0});
    read(sections_before(5) + Lines{"Index data", "2000 1 2 3",
                                    "Input and Estimated effective sample sizes", "2000 4 5",
                                    "Average F", "a", "b", "2000 0.1 0.2 0.3", "2001 0.4 0.5 0.6"});
    EXPECT_EQ(data_.index_obs.at(0, 0), 0.0);
    EXPECT_EQ(data_.index_input_ess.at(0, 0), 0.0);
    EXPECT_EQ(data_.avg_f.at(0, 2), 0.3);
    EXPECT_EQ(data_.avg_f.at(1, 0), 0.4);
}

TEST_F(ReportFileTest, ReadsPopulationProportionsAndStockRecruitment) {
    dimension(2, 3, 1, {});
    read(sections_before(8) + Lines{"Population Numbers", "1.5e6 2.0e5 1.0e4 9", "1 2 3",
                                    "Proportions of catch", "Fleet 1", "2000 obs = 0.1 0.2 0.7",
                                    "2000 pred=0.1 0.2 0.7", "2001 obs =  0.1\t0.2 0.7",
                                    "2001 a row without an equals sign", "Proportions of Discards",
                                    "Fleet 1", "a", "b", "c", "d",
                                    "Spawning Stock, Obs Recruits(year+1), Pred Recruits(year+1)",
                                    "Year SSB Obs Pred", "1990 5000 1200 1100", "1991 6000"});
    EXPECT_EQ(data_.stock_numbers.at(0, 0), 1.5e6);
    EXPECT_EQ(data_.stock_numbers.at(0, 2), 1.0e4);
    EXPECT_EQ(data_.stock_numbers.at(1, 1), 2.0);
    EXPECT_EQ(data_.ssb[0], 5000.0);
    EXPECT_EQ(data_.obs_recruits[0], 1200.0);
    EXPECT_EQ(data_.pred_recruits[0], 1100.0);
    EXPECT_EQ(data_.ssb[1], 6000.0);
    EXPECT_EQ(data_.obs_recruits[1], 0.0);
}

TEST_F(ReportFileTest, ASearchStopsAtTheNextSectionsHeading) {
    dimension(1, 1, 1, {});
    read(sections_before(7) + Lines{"Population Numbers", "5", "Average F", "a", "b", "2000 1 2 3",
                                    "Proportions of catch"});
    EXPECT_EQ(data_.avg_f.at(0, 1), 0.0) << "\"Average F\", standing after its successor";
    EXPECT_EQ(data_.stock_numbers.at(0, 0), 5.0);
}

TEST_F(ReportFileTest, AFileEndingInsideASectionLeavesTheRowsItLacksAsAllocated) {
    dimension(3, 2, 1, {});
    // Rows past the end are not written at all, so a wide table's zero pages stay untouched.
    data_.avg_f.at(2, 0) = 9.0;
    read({"Input and Estimated effective sample sizes", "2000 1 2"});
    EXPECT_EQ(data_.catch_ess.at(0, 1), 2.0);
    EXPECT_EQ(data_.catch_ess.at(1, 0), 0.0);
    EXPECT_EQ(data_.avg_f.at(2, 0), 9.0);

    read(sections_before(8) + Lines{"Population Numbers", "1 2"});
    EXPECT_EQ(data_.stock_numbers.at(0, 1), 2.0);
    EXPECT_EQ(data_.stock_numbers.at(1, 0), 0.0);

    read(sections_before(11) +
         Lines{"Spawning Stock, Obs Recruits(year+1), Pred Recruits(year+1)", "titles"});
    EXPECT_EQ(data_.ssb[0], 0.0);
}

TEST_F(ReportFileTest, AMissingSectionLeavesItsTablesAtZero) {
    dimension(2, 1, 2, {1});
    read({"nothing we know"});
    EXPECT_EQ(data_.catch_ess.at(1, 3), 0.0);
    EXPECT_EQ(data_.avg_f.at(1, 2), 0.0);
    EXPECT_EQ(data_.ssb[1], 0.0);
}

TEST_F(ReportFileTest, AReportThatCannotBeOpenedStopsTheRun) {
    ReportFindings findings;
    const StageResult error = read_report_file(dir_.file("none.rep"), data_, findings);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "Unable to Open Telk Input Data File: " + dir_.file("none.rep"));
    EXPECT_EQ(error->exit_status, 1);
}

// What --warn and --strict report: one report per kind of finding, checked line for line.
class ReportFindingsTest : public ReportFileTest {
  protected:
    Lines findings_of(const Lines& lines) {
        testing::write_file(path_, lines_of(lines));
        ReportFindings findings(path_);
        EXPECT_FALSE(read_report_file(path_, data_, findings));
        return findings.lines();
    }
    std::string warning(const std::string& text) const { return path_ + ": warning: " + text; }
    std::string row_warning(int line, const std::string& text) const {
        return path_ + ":" + std::to_string(line) + ": warning: " + text;
    }
    // The not-found lines of every search from the one numbered `first` (from 0) on.
    Lines not_found_from(std::size_t first, int after_line) const {
        Lines lines;
        for (std::size_t s = first; s < std::size(testing::kSectionSearches); ++s) {
            lines.push_back(warning("section " + std::string(testing::kSectionSearches[s]) +
                                    " not found after line " + std::to_string(after_line)));
        }
        return lines;
    }
};

TEST_F(ReportFindingsTest, EveryHeadingSearchThatReachesTheEndIsNamed) {
    dimension(1, 1, 1, {});
    EXPECT_EQ(findings_of({"Input and Estimated effective sample sizes", "2000 1 2", "a", "b"}),
              not_found_from(1, 4));
    EXPECT_EQ(findings_of({}), not_found_from(0, 0));
}

TEST_F(ReportFindingsTest, AFileEndingInsideAFoundSectionIsNamedOnce) {
    dimension(3, 2, 1, {});
    EXPECT_EQ(findings_of({"Input and Estimated effective sample sizes", "2000 1 2"}),
              Lines{warning("file ends at line 2 inside section \"Input and Estimated effective "
                            "sample sizes\" (catch sample sizes)")} +
                  not_found_from(1, 2));

    dimension(1, 1, 1, {1});
    EXPECT_EQ(findings_of(sections_before(5) + Lines{"Index data", "2000 1 2 3"}),
              not_found_from(5, 16))
        << "an index block may end with the file";
}

TEST_F(ReportFindingsTest, ShortRowsOfEveryShapeAreNamedWithTheirLine) {
    dimension(1, 2, 1, {1});
    const Lines report = {"Input and Estimated effective sample sizes",
                          "2000 1",
                          "skip",
                          "skip",
                          "Input and Estimated effective Discard sample sizes",
                          "2000 1 2 3 4",
                          "skip",
                          "skip",
                          "Observed and predicted total fleet catch",
                          "Fleet 1",
                          "2000",
                          "Observed and predicted total fleet Discards",
                          "Fleet 1",
                          "2000 5 6",
                          "Index data",
                          "2000 1 2",
                          "",
                          "Input and Estimated effective sample sizes",
                          "2000 1",
                          "",
                          "Average F",
                          "a",
                          "b",
                          "",
                          "Population Numbers",
                          "7",
                          "Proportions of catch",
                          "Fleet 1",
                          "x",
                          "x",
                          "Proportions of Discards",
                          "Fleet 1",
                          "x",
                          "x",
                          "Spawning Stock, Obs Recruits(year+1), Pred Recruits(year+1)",
                          "titles",
                          "2000 5"};
    const auto short_row = [&](int line, int found, int expected) {
        return row_warning(line, "row has " + std::to_string(found) + " of " +
                                     std::to_string(expected) +
                                     " values; the missing ones are zeros");
    };
    EXPECT_EQ(
        findings_of(report),
        (Lines{short_row(2, 2, 3), short_row(11, 1, 2), short_row(16, 3, 4), short_row(19, 2, 3),
               short_row(24, 0, 4), short_row(26, 1, 2), short_row(37, 2, 4)}));
}

TEST_F(ReportFindingsTest, RowsOutsideTheRunAreNamedAndRowFindingsStopAtTwenty) {
    dimension(1, 1, 1, {1});
    Lines report = sections_before(5) + Lines{"Index data", "01999x 1 2 3"};
    report.insert(report.end(), 24, "2001 1 2 3");
    report.push_back("2000 1 2 3");  // the index's one year has its row
    const Lines findings = findings_of(report);
    ASSERT_EQ(findings.size(), 20u + 6u + 1u);
    EXPECT_EQ(findings[0], row_warning(16, "year 01999 is outside 2000-2000; row passed over"));
    EXPECT_EQ(findings[19], row_warning(35, "year 2001 is outside 2000-2000; row passed over"));
    EXPECT_EQ(findings[20], not_found_from(5, 41).front());
    EXPECT_EQ(findings.back(), warning("5 more row warnings not shown"));
}

}  // namespace
}  // namespace scantelk
