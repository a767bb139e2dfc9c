#include "summary/number_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace scantelk {
namespace {

std::string scientific(double value) {
    char out[kFieldWidth];
    return std::string(out, format_scientific(value, out));
}

std::string field(double value, FieldAlign align) {
    char out[kFieldWidth];
    write_number_fields(out, &value, 1, align);
    return std::string(out, kFieldWidth);
}

TEST(NumberField, WritesSevenDigitsAndAThreeDigitExponent) {
    EXPECT_EQ(scientific(1234.5), "1.234500E+003");
    EXPECT_EQ(scientific(0.0001), "1.000000E-004");
    EXPECT_EQ(scientific(1e-300), "1.000000E-300");
    EXPECT_EQ(scientific(6.022e23), "6.022000E+023");
    EXPECT_EQ(scientific(-0.041), "-4.100000E-002");
    EXPECT_EQ(scientific(1.0), "1.000000E+000");
    EXPECT_EQ(scientific(std::numeric_limits<double>::max()), "1.797693E+308");
    EXPECT_EQ(scientific(std::numeric_limits<double>::denorm_min()), "4.940656E-324");
    EXPECT_EQ(scientific(-std::numeric_limits<double>::min()), "-2.225074E-308");
}

TEST(NumberField, ZeroOfEitherSignIsUnsigned) {
    EXPECT_EQ(scientific(0.0), "0.000000E+000");
    EXPECT_EQ(scientific(-0.0), "0.000000E+000");
}

TEST(NumberField, RoundsTheSeventeenDigitFormHalfUp) {
    // The nearest double to 0.12345645 lies just below it; its 17-digit form ends in ...4500000.
    EXPECT_EQ(scientific(0.12345645), "1.234565E-001");
    EXPECT_EQ(scientific(9.9999996), "1.000000E+001");
    EXPECT_EQ(scientific(-9.9999996e-5), "-1.000000E-004");
    EXPECT_EQ(scientific(9.99999949), "9.999999E+000");
    EXPECT_EQ(scientific(1.0000005), "1.000001E+000");
    EXPECT_EQ(scientific(2.5e-7), "2.500000E-007");
}

TEST(NumberField, WritesNonFiniteValuesAsWords) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(field(inf, FieldAlign::left), "Inf             ");
    EXPECT_EQ(field(-inf, FieldAlign::right), "           -Inf ");
    EXPECT_EQ(field(std::nan(""), FieldAlign::right), "            NaN ");
    EXPECT_EQ(field(-std::nan(""), FieldAlign::left), "NaN             ");
}

TEST(NumberField, JustifiesInFifteenCharactersAndASpace) {
    EXPECT_EQ(field(-0.15, FieldAlign::left), "-1.500000E-001  ");
    EXPECT_EQ(field(-0.15, FieldAlign::right), " -1.500000E-001 ");
    EXPECT_EQ(field(0.2, FieldAlign::left), "2.000000E-001   ");
    EXPECT_EQ(field(3.5, FieldAlign::right), "  3.500000E+000 ");
}

}  // namespace
}  // namespace scantelk
