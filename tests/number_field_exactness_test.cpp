// The fast path of the number field must give exactly what the full 17-digit conversion gives.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "summary/number_field.h"

namespace scantelk {
namespace {

// How many values each sweep checks; SCANTELK_EXACTNESS_SAMPLES raises it for a longer run.
long samples_per_sweep() {
    const char* setting = std::getenv("SCANTELK_EXACTNESS_SAMPLES");
    return setting != nullptr ? std::atol(setting) : 8000000;
}

void expect_same_as_exact(double value) {
    char fast[kFieldWidth];
    char exact[kFieldWidth];
    const std::size_t fast_length = format_scientific(value, fast);
    const std::size_t exact_length = format_scientific_exact(value, exact);
    ASSERT_EQ(std::string(fast, fast_length), std::string(exact, exact_length))
        << "value " << std::hexfloat << value;
}

// The value and its neighbours a few units in the last place away.
void expect_neighbourhood_exact(double value) {
    double below = value;
    double above = value;
    for (int step = 0; step < 3; ++step) {
        below = std::nextafter(below, -std::numeric_limits<double>::infinity());
        above = std::nextafter(above, std::numeric_limits<double>::infinity());
        expect_same_as_exact(below);
        expect_same_as_exact(above);
    }
    expect_same_as_exact(value);
}

TEST(NumberFieldExactness, RandomBitPatterns) {
    std::mt19937_64 random(1);
    for (long n = 0; n < samples_per_sweep(); ++n) {
        const double value = std::bit_cast<double>(random());
        if (std::isfinite(value)) expect_same_as_exact(value);
    }
}

TEST(NumberFieldExactness, TypicalModelQuantities) {
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> log_magnitude(-8.0, 9.0);
    for (long n = 0; n < samples_per_sweep(); ++n) {
        const double value = std::pow(10.0, log_magnitude(random));
        expect_same_as_exact(n % 2 == 0 ? value : -value);
    }
}

TEST(NumberFieldExactness, ValuesNextToTiesAndCarriesAtTheSeventhDigit) {
    std::mt19937_64 random(3);
    std::uniform_int_distribution<std::int64_t> seven_digits(1000000, 9999999);
    std::uniform_int_distribution<int> exponent(-300, 300);
    for (long n = 0; n < samples_per_sweep() / 7; ++n) {
        // d.dddddd5 x 10^e and d.dddddd49999... x 10^e, with e across the whole range.
        const std::int64_t digits = n % 5 == 0 ? 9999999 : seven_digits(random);
        const int e = exponent(random);
        const double tie = (static_cast<double>(digits) * 10 + 5) * std::pow(10.0, e - 7);
        expect_neighbourhood_exact(tie);
    }
}

TEST(NumberFieldExactness, PowersOfTenSubnormalsAndExtremes) {
    for (int e = -323; e <= 308; ++e) {
        expect_neighbourhood_exact(std::pow(10.0, e));
        expect_neighbourhood_exact(9.9999995 * std::pow(10.0, e));
    }
    expect_neighbourhood_exact(std::numeric_limits<double>::max());
    expect_neighbourhood_exact(std::numeric_limits<double>::min());
    expect_neighbourhood_exact(std::numeric_limits<double>::denorm_min() * 3);
    std::mt19937_64 random(4);
    for (long n = 0; n < samples_per_sweep() / 10; ++n) {
        expect_same_as_exact(std::bit_cast<double>(random() >> 12));  // subnormals
        expect_same_as_exact(std::ldexp(1.0, static_cast<int>(random() % 2098) - 1074));
    }
}

}  // namespace
}  // namespace scantelk
