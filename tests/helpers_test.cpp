#include "util/helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "store/assessment_data.h"

namespace scantelk {
namespace {

TEST(StrCase, ChangesOnlyAsciiLettersInPlace) {
    char text[] = "ab1-Z\xE9";
    EXPECT_EQ(str_upper(text), text);
    EXPECT_STREQ(text, "AB1-Z\xE9");
    EXPECT_EQ(str_lower(text), text);
    EXPECT_STREQ(text, "ab1-z\xE9");
}

TEST(StrTrim, ReturnsAPointerPastLeadingWhiteSpaceAndCutsTheEnd) {
    char text[] = "  abc\t\n";
    char* trimmed = str_trim(text);
    EXPECT_EQ(trimmed, text + 2);
    EXPECT_STREQ(trimmed, "abc");
    EXPECT_EQ(std::memcmp(text, "  abc\0\n", 7), 0);

    char blank[] = " \t\v\f\r\n";
    EXPECT_EQ(str_trim(blank), blank + 6);
    char empty[] = "";
    EXPECT_EQ(str_trim(empty), empty);
    char plain[] = "a b";
    EXPECT_EQ(str_trim(plain), plain);
    EXPECT_STREQ(plain, "a b");
    char high[] = "\xA0x\xA0";
    EXPECT_STREQ(str_trim(high), "\xA0x\xA0") << "bytes from 0x80 up are not white space";
}

TEST(StrTrim, HandlesTextsLongerThanSixteenBitsCanCount) {
    std::string text = " " + std::string(40000, 'x') + "  ";
    char* trimmed = str_trim(text.data());
    EXPECT_EQ(trimmed, text.data() + 1);
    EXPECT_EQ(std::strlen(trimmed), 40000u);
}

// Runs the stamp under a fixed time zone and restores the previous one.
class StampTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        had_tz_ = old != nullptr;
        if (had_tz_) old_tz_ = old;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (had_tz_) {
            setenv("TZ", old_tz_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    bool had_tz_ = false;
    std::string old_tz_;
};

TEST_F(StampTest, DateStampIsDayMonthYear) {
    char out[12];
    std::memset(out, '?', sizeof out);
    ASSERT_EQ(date_stamp(out), 11u);
    const std::string text(out);
    ASSERT_EQ(text.size(), 11u);
    EXPECT_TRUE(std::isdigit(text[0]) && std::isdigit(text[1]));
    EXPECT_EQ(text[2], ' ');
    EXPECT_NE(std::string("JanFebMarAprMayJunJulAugSepOctNovDec").find(text.substr(3, 3)),
              std::string::npos);
    EXPECT_EQ(text[6], ' ');
    EXPECT_GE(std::stoi(text.substr(7)), 2024);
}

TEST_F(StampTest, TimeStampIsHoursAndMinutes) {
    char out[6];
    ASSERT_EQ(time_stamp(out), 5u);
    EXPECT_EQ(std::strlen(out), 5u);
    EXPECT_EQ(out[2], ':');
    EXPECT_LT(std::atoi(out), 24);
    EXPECT_LT(std::atoi(out + 3), 60);
}

TEST(ParseRepeat, SplitsValueAndCount) {
    struct Case {
        const char* token;
        int count;
        double value;
        const char* left;
    };
    const Case cases[] = {
        {"0.25*3", 3, 0.25, "0.25"},
        {"12.5", 0, 0.0, "12.5"},
        {"*4", 4, 0.0, ""},
        {"2.5*", 0, 2.5, "2.5"},
        {"1*2*3", 2, 1.0, "1"},
        {"1*70000", 4464, 1.0, "1"},
        {"1.5D1* 7", 7, 15.0, "1.5D1"},
        {" -2*-3", -3, -2.0, " -2"},
        {"1*99999999999999999999999", static_cast<std::int16_t>(0xFFFF), 1.0, "1"},
    };
    for (const Case& c : cases) {
        std::string token = c.token;
        double value = -1.0;
        EXPECT_EQ(parse_repeat(token.data(), &value), c.count) << c.token;
        EXPECT_EQ(value, c.value) << c.token;
        EXPECT_STREQ(token.c_str(), c.left) << c.token;
    }
}

// A matrix reached through row pointers, rows one after another.
class RowMatrix {
  public:
    RowMatrix(int rows, int columns) : cells_(static_cast<std::size_t>(rows * columns)) {
        for (int r = 0; r < rows; ++r)
            rows_.push_back(cells_.data() + r * columns);
    }
    double* operator[](int row) { return rows_[static_cast<std::size_t>(row)]; }
    double* const* row_pointers() { return rows_.data(); }

  private:
    std::vector<double> cells_;
    std::vector<double*> rows_;
};

TEST(MatMultiply, MultipliesRowPointerTables) {
    RowMatrix a(2, 3), b(3, 2), r(2, 2);
    for (int i = 0; i < 6; ++i) {
        a[i / 3][i % 3] = i + 1;
        b[i / 2][i % 2] = i + 7;
    }
    mat_multiply(2, 3, 2, a.row_pointers(), b.row_pointers(), r.row_pointers());
    EXPECT_EQ(r[0][0], 58);
    EXPECT_EQ(r[0][1], 64);
    EXPECT_EQ(r[1][0], 139);
    EXPECT_EQ(r[1][1], 154);

    r[0][0] = 5;
    mat_multiply(2, 0, 2, a.row_pointers(), b.row_pointers(), r.row_pointers());
    EXPECT_EQ(r[0][0], 0.0) << "an empty inner dimension gives zero sums";
    r[1][1] = 5;
    mat_multiply(0, 3, 2, a.row_pointers(), b.row_pointers(), r.row_pointers());
    mat_multiply(2, 3, -1, a.row_pointers(), b.row_pointers(), r.row_pointers());
    EXPECT_EQ(r[1][1], 5.0) << "no rows or no columns write nothing";
}

TEST(MatMultiply, RoundsEachProductBeforeItIsAdded) {
    // (1 + 2^-27)(1 - 2^-27) = 1 - 2^-54 rounds to 1, so the sum is exactly 0. A fused
    // multiply-add keeps the product unrounded and leaves -2^-54 instead.
    RowMatrix row(1, 2), column(2, 1), product(1, 1);
    const double tiny = std::ldexp(1.0, -27);
    row[0][0] = 1.0;
    row[0][1] = 1.0 + tiny;
    column[0][0] = -1.0;
    column[1][0] = 1.0 - tiny;
    mat_multiply(1, 2, 1, row.row_pointers(), column.row_pointers(), product.row_pointers());
    EXPECT_EQ(product[0][0], 0.0);
}

TEST(SortAscending, IsAStableExchangeSortWithNaNLast) {
    std::vector<double> v = {2.0, -1.0, 2.0, 0.5};
    sort_ascending(4, v.data());
    EXPECT_EQ(v, (std::vector<double>{-1.0, 0.5, 2.0, 2.0}));

    std::vector<double> one = {3.0};
    sort_ascending(1, one.data());
    sort_ascending(0, nullptr);
    sort_ascending(-5, one.data());
    EXPECT_EQ(one[0], 3.0);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> with_nan = {nan, 3.0, -std::numeric_limits<double>::infinity(), nan, 1.0};
    sort_ascending(5, with_nan.data());
    EXPECT_EQ(with_nan[0], -std::numeric_limits<double>::infinity());
    EXPECT_EQ(with_nan[1], 1.0);
    EXPECT_EQ(with_nan[2], 3.0);
    EXPECT_TRUE(std::isnan(with_nan[3]) && std::isnan(with_nan[4]));
}

TEST(Statistics, MeanAndBothStandardDeviations) {
    const double three[] = {1.0, 2.0, 6.0};
    EXPECT_EQ(mean_of(3, three), 3.0);
    EXPECT_TRUE(std::isnan(mean_of(0, three)));

    const double v[] = {2, 4, 4, 4, 5, 5, 7, 9};
    EXPECT_EQ(std_dev_population(8, 5.0, v), 2.0);
    EXPECT_DOUBLE_EQ(std_dev_sample(8, 5.0, v), std::sqrt(32.0 / 7.0));

    const double single[] = {4.0};
    EXPECT_EQ(std_dev_sample(1, 3.0, single), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(std_dev_sample(1, 4.0, single)));
    EXPECT_TRUE(std::isnan(std_dev_population(0, 0.0, single)));
}

}  // namespace
}  // namespace scantelk
