#include "store/assessment_data.h"

#include <gtest/gtest.h>

#include <utility>

#include "test_support.h"

namespace scantelk {
namespace {

TEST(YearTable, StartsAtZeroWithContiguousRows) {
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 3, 2));
    EXPECT_EQ(table.rows(), 3);
    EXPECT_EQ(table.columns(), 2);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(table[r], table[0] + 2 * r);
        EXPECT_EQ(table[r][0], 0.0);
        EXPECT_EQ(table[r][1], 0.0);
    }
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
            table[r][c] = 1.5;
    }
    zero_year_table(table, 3, 2);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(table[r][c], (r < 3 && c < 2) ? 0.0 : 1.5) << r << "," << c;
        }
    }
}

TEST(YearTable, ZeroingNeverReachesPastTheTable) {
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 2, 2));
    table[1][1] = 7.0;
    zero_year_table(table, 30, 30);
    EXPECT_EQ(table[1][1], 0.0);
}

TEST(YearTable, ZeroingClearsCellsWrittenThroughTheRowPointers) {
    YearTable table;
    ASSERT_TRUE(alloc_year_table(table, 2, 2));
    table.row_pointers()[1][1] = 4.0;
    zero_year_table(table, 2, 2);
    EXPECT_EQ(std::as_const(table)[1][1], 0.0);
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
    data.catch_ess[0][65533] = 1.0;
    EXPECT_EQ(data.catch_ess[0][65533], 1.0);
}

TEST(AllocTables, HugeDeclaredDimensionsCostOnlyWhatIsTouched) {
    if (testing::kAddressSanitizer) GTEST_SKIP() << "the sanitizer touches every allocated byte";
    AssessmentData data;
    data.n_years = 32767;
    data.n_ages = 32767;
    if (!alloc_tables(data)) GTEST_SKIP() << "address space too small for this check";
    data.stock_numbers[32766][32766] = 2.0;
    EXPECT_EQ(data.stock_numbers[32766][32766], 2.0);
    EXPECT_EQ(data.nat_mort[16000][16000], 0.0);
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
