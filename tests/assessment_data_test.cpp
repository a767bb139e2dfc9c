#include "store/assessment_data.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "test_support.h"

namespace scantelk {
namespace {

TEST(YearTable, StartsAtZeroWithEachColumnsYearsContiguous) {
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 3, 2));
    EXPECT_EQ(table.rows(), 3);
    EXPECT_EQ(table.columns(), 2);
    EXPECT_EQ(table.column(1), table.column(0) + 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(&table.at(r, 1), table.column(1) + r);
        EXPECT_EQ(table.at(r, 0), 0.0);
        EXPECT_EQ(table.at(r, 1), 0.0);
    }
    const double row[] = {4.0, 5.0};
    table.set_row(2, 0, row);
    EXPECT_EQ(table.column(0)[2], 4.0);
    EXPECT_EQ(table.column(1)[2], 5.0);
}

TEST(YearTable, ZeroOrNegativeShapesGiveEmptyTables) {
    YearTable no_rows;
    ASSERT_TRUE(alloc_year_table(no_rows, 0, 5));
    EXPECT_EQ(no_rows.rows(), 0);
    zero_year_table(no_rows, 0, 5);

    YearTable no_columns;
    ASSERT_TRUE(alloc_year_table(no_columns, 4, -2));
    EXPECT_EQ(no_columns.rows(), 4);
    EXPECT_EQ(no_columns.columns(), 0);
    zero_year_table(no_columns, 4, 0);
}

TEST(YearTable, ZeroingClearsOnlyTheNamedCells) {
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 4, 3));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c)
            table.at(r, c) = 1.5;
    }
    zero_year_table(table, 3, 2);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(table.at(r, c), (r < 3 && c < 2) ? 0.0 : 1.5) << r << "," << c;
        }
    }
}

TEST(YearTable, ZeroingNeverReachesPastTheTable) {
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 2, 2));
    table.at(1, 1) = 7.0;
    zero_year_table(table, 30, 30);
    EXPECT_EQ(table.at(1, 1), 0.0);
}

TEST(YearTable, ZeroingClearsCellsWrittenThroughAColumn) {
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 2, 2));
    table.column(1)[1] = 4.0;
    zero_year_table(table, 2, 2);
    EXPECT_EQ(std::as_const(table).at(1, 1), 0.0);
}

TEST(YearTable, HugePagesOnlyForAnUntouchedTableOfAtLeastTwoMegabytes) {
    YearTable small;
    ASSERT_TRUE(alloc_year_table(small, 1000, 100));
    EXPECT_FALSE(prefer_huge_pages(small));
    YearTable large;
    ASSERT_TRUE(alloc_year_table(large, 1000, 300));
    large.at(999, 299) = 1.0;
    EXPECT_FALSE(prefer_huge_pages(large)) << "a table already written keeps its pages";
    YearTable fresh;
    ASSERT_TRUE(alloc_year_table(fresh, 1000, 300));
    if (!prefer_huge_pages(fresh)) GTEST_SKIP() << "no huge pages on this system";
    EXPECT_EQ(fresh.at(999, 299), 0.0);
    fresh.at(999, 299) = 2.0;
    EXPECT_EQ(fresh.column(299)[999], 2.0);
}

TEST(YearTable, WillFillWhenTheFileCanHoldHalfItsCellsOrMore) {
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 10, 10));
    const struct {
        std::uint64_t filled_cells, file_bytes;
        bool expected;
    } cases[] = {
        {100, 200, true},   // every cell, two bytes each
        {100, 199, false},  // the file is too small to hold them
        {50, 100, true},    // half the table
        {49, 1000, false},  // less than half: 2 MB pages would cost more than twice as much
        {0, 1000, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(will_fill(table, c.filled_cells, c.file_bytes), c.expected)
            << c.filled_cells << " " << c.file_bytes;
}

TEST(AllocTables, SizesEveryTableFromTheDimensions) {
    AssessmentData data;
    data.n_years = 3;
    data.n_ages = 4;
    data.n_fleets = 2;
    data.n_indices = 5;
    ASSERT_TRUE(alloc_tables(data));
    EXPECT_EQ(data.nat_mort.columns(), 4);
    EXPECT_EQ(data.jan1_waa.rows(), 3);
    EXPECT_EQ(data.catch_ess.columns(), 4);
    EXPECT_EQ(data.discard_by_fleet.columns(), 2);
    EXPECT_EQ(data.index_eff_ess.columns(), 5);
    EXPECT_EQ(data.avg_f.columns(), 3);
    EXPECT_EQ(data.stock_numbers.columns(), 4);
    EXPECT_EQ(data.ssb, std::vector<double>(3, 0.0));
    EXPECT_EQ(data.pred_recruits.size(), 3u);
    ASSERT_EQ(data.index_specs.size(), 5u);
    for (const IndexSpec& index_spec : data.index_specs) {
        for (const auto value : index_spec.value)
            EXPECT_EQ(value, 0);
        EXPECT_FALSE(index_spec.used());
    }
}

TEST(AllocTables, DoublesTheLargestFleetCountWithoutWrapping) {
    AssessmentData data;
    data.n_years = 1;
    data.n_fleets = 32767;
    ASSERT_TRUE(alloc_tables(data));
    EXPECT_EQ(data.catch_ess.columns(), 65534);
    data.catch_ess.at(0, 65533) = 1.0;
    EXPECT_EQ(data.catch_ess.at(0, 65533), 1.0);
}

TEST(AllocTables, HugeDeclaredDimensionsCostOnlyWhatIsTouched) {
    if (testing::kAddressSanitizer) GTEST_SKIP() << "the sanitizer touches every allocated byte";
    AssessmentData data;
    data.n_years = 32767;
    data.n_ages = 32767;
    if (!alloc_tables(data)) GTEST_SKIP() << "address space too small for this check";
    data.stock_numbers.at(32766, 32766) = 2.0;
    EXPECT_EQ(data.stock_numbers.at(32766, 32766), 2.0);
    EXPECT_EQ(data.nat_mort.at(16000, 16000), 0.0);
}

TEST(IndexSpec, AnyNonZeroUseFlagMeansUsed) {
    IndexSpec index_spec;
    EXPECT_FALSE(index_spec.used());
    index_spec.value[6] = -1;
    EXPECT_TRUE(index_spec.used());
    index_spec.value[6] = 0;
    index_spec.value[0] = 1;
    EXPECT_FALSE(index_spec.used());
}

}  // namespace
}  // namespace scantelk
