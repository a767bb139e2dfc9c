#include "util/number_parse.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "test_support.h"
#include "util/tokens.h"

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace scantelk {
namespace {

TEST(ParseDecimal, TakesTheLeadingNumber) {
    EXPECT_EQ(parse_decimal("0.2"), 0.2);
    EXPECT_EQ(parse_decimal("-2"), -2.0);
    EXPECT_EQ(parse_decimal("+2.5"), 2.5);
    EXPECT_EQ(parse_decimal("1.5e-3"), 0.0015);
    EXPECT_EQ(parse_decimal("12abc"), 12.0);
    EXPECT_EQ(parse_decimal("1.5-2"), 1.5);
    EXPECT_EQ(parse_decimal(".5"), 0.5);
    EXPECT_EQ(parse_decimal("-.5"), -0.5);
    EXPECT_EQ(parse_decimal("7."), 7.0);
    EXPECT_EQ(parse_decimal("3e"), 3.0);
    EXPECT_EQ(parse_decimal("3e+"), 3.0);
    EXPECT_EQ(parse_decimal("3ex"), 3.0);
}

TEST(ParseDecimal, AcceptsFortranExponentLetters) {
    EXPECT_EQ(parse_decimal("1.5D-2"), 0.015);
    EXPECT_EQ(parse_decimal("2.5D+01"), 25.0);
    EXPECT_EQ(parse_decimal("2.5d1"), 25.0);
    EXPECT_EQ(parse_decimal("+1E2"), 100.0);
    EXPECT_EQ(parse_decimal("-4d0"), -4.0);
}

TEST(ParseDecimal, TextThatDoesNotBeginLikeANumberIsZero) {
    for (const char* text : {"", "abc", "-", "+", ".", "e5", "+.e1"}) {
        EXPECT_EQ(parse_decimal(text), 0.0) << text;
    }
    EXPECT_EQ(parse_decimal("0x1A"), 0.0);
}

TEST(ParseDecimal, RoundsCorrectly) {
    EXPECT_EQ(parse_decimal("0.12345645"), 0.12345645);
    EXPECT_EQ(parse_decimal("9007199254740993"), 9007199254740992.0);
    EXPECT_EQ(parse_decimal("2.2250738585072011e-308"), 2.2250738585072011e-308);
    EXPECT_EQ(parse_decimal("123456789012345678901234567890"), 1.2345678901234568e29);
    // 2^64: its twenty digits wrap a 64-bit mantissa to exactly 0.
    EXPECT_EQ(parse_decimal("18446744073709551616"), 18446744073709551616.0);
}

TEST(ParseDecimal, OutOfRangeGivesInfinityOrZero) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(parse_decimal("1e400"), inf);
    EXPECT_EQ(parse_decimal("-1D400"), -inf);
    EXPECT_EQ(parse_decimal("+1e99999999999999999999"), inf);
    EXPECT_EQ(parse_decimal("1e-400"), 0.0);
    EXPECT_TRUE(std::signbit(parse_decimal("-1e-400")));
    EXPECT_EQ(parse_decimal("0.000001e-320"), 0.0);
    EXPECT_EQ(parse_decimal("4.9e-324"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(parse_decimal("1e-310"), 1e-310);
    EXPECT_EQ(parse_decimal("0e999999"), 0.0);
}

// The spellings that libraries write for non-numbers, in any letter case and after a sign, read
// as such up to where they end; text that only begins like one keeps the leading-number rule.
TEST(ParseDecimal, ReadsTheSpellingsOfInfinityAndNaN) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"inf", inf},      {"-Infinity", -inf}, {"+INF", inf},      {"infant", inf},
        {"nan", nan},      {"-nan", nan},       {"NaN(0x1f)", nan}, {"nanny", nan},
        {"1.#INF", inf},   {"-1.#INF00", -inf}, {"+1.#inf", inf},   {"1.#QNAN", nan},
        {"1.#QNAN0", nan}, {"-1.#IND00", nan},  {"1.#SNAN", nan},   {"1.#ind", nan},
        {"in", 0.0},       {"-na", 0.0},        {".inf", 0.0},      {"e-nan", 0.0},
        {"1.#", 1.0},      {"1.#IN", 1.0},      {"-1.#QNA", -1.0},  {"1.#NAN", 1.0},
        {"2.#INF", 2.0},   {"01.#INF", 1.0},    {"1.0#INF", 1.0},   {"1#INF", 1.0},
        {"1e400", inf},
    };
    for (const auto& c : cases) {
        const double value = parse_decimal(c.text);
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(value) && !std::signbit(value)) << c.text << " gave " << value;
        } else {
            EXPECT_EQ(value, c.expected) << c.text;
        }
        const bool spelling = std::string_view(c.text) != "1e400" && !std::isfinite(c.expected);
        EXPECT_EQ(spells_non_number(c.text), spelling) << c.text;
    }
}

// Every number the fast path takes must match the standard conversion to the bit.
TEST(ParseDecimal, AgreesWithTheStandardConversionOnRandomNumbers) {
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<int> digit_count(1, 22), digit(0, 9), exponent(-330, 330);
    for (int n = 0; n < 200000; ++n) {
        std::string text = (n % 3 == 0) ? "-" : "";
        const int integer_digits = digit_count(random) % 12;
        const int fraction_digits = digit_count(random) % 12;
        for (int d = 0; d < integer_digits; ++d)
            text += static_cast<char>('0' + digit(random));
        if (integer_digits == 0 || n % 2 == 0) {
            text += '.';
            for (int d = 0; d <= fraction_digits; ++d)
                text += static_cast<char>('0' + digit(random));
        }
        if (n % 4 == 0) {
            text.push_back('e');
            text.append(std::to_string(exponent(random) / (n % 8 == 0 ? 1 : 15)));
        }
        double expected = 0.0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), expected);
        if (result.ec != std::errc()) continue;
        const double parsed = parse_decimal(text);
        ASSERT_EQ(std::signbit(parsed), std::signbit(expected)) << text;
        ASSERT_EQ(parsed, expected) << text;
    }
}

// Beyond the 800 significant digits that decide any rounding, digits count only as being there:
// a token of many digits reads as a short spelling of it does.
TEST(ParseDecimal, ALongTokenReadsAsItsShortSpelling) {
    const std::string zeros(100000, '0');
    const std::pair<std::string, std::string> spellings[] = {
        {"9007199254740993" + zeros + "e-100000", "9007199254740993"},  // halfway: to even
        {"9007199254740993" + zeros + "1e-100001", "9007199254740993.1"},
        {"-0." + zeros + "25e100001", "-2.5"},
        {zeros + "." + zeros + "1" + zeros, "1e-100001"},
        {"1" + zeros + "." + zeros + "7", "1e100000"},
        {"0." + zeros + "1e-400", "0"},
    };
    for (const auto& [long_spelling, short_spelling] : spellings) {
        EXPECT_EQ(parse_decimal(long_spelling), parse_decimal(short_spelling)) << short_spelling;
    }
}

#ifdef __linux__
// `head`, 2^32 '0's and `tail` (each at most a page) in a text that takes 1 MB of memory: one
// block of '0's is mapped 4096 times. Empty where that cannot be done.
class FourBillionZeros {
  public:
    FourBillionZeros(std::string_view head, std::string_view tail) {
        const int fd = memfd_create("zeros", 0);
        void* const base = mmap(nullptr, kSize, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        bool mapped = fd >= 0 && base != MAP_FAILED && ftruncate(fd, kBlock) == 0;
        if (base != MAP_FAILED) base_ = static_cast<char*>(base);
        char* const zeros = base_ + kPage;
        for (std::size_t b = 0; mapped && b < kBlocks; ++b) {
            mapped = mmap(zeros + b * kBlock, kBlock, PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_FIXED, fd, 0) != MAP_FAILED;
        }
        if (fd >= 0) close(fd);
        if (!mapped) return;
        std::memset(zeros, '0', kBlock);  // seen through every mapping of the block
        std::memcpy(zeros - head.size(), head.data(), head.size());
        std::memcpy(zeros + kBlocks * kBlock, tail.data(), tail.size());
        text_ = {zeros - head.size(), head.size() + kBlocks * kBlock + tail.size()};
    }
    FourBillionZeros(const FourBillionZeros&) = delete;
    FourBillionZeros& operator=(const FourBillionZeros&) = delete;
    ~FourBillionZeros() {
        if (base_ != nullptr) munmap(base_, kSize);
    }
    std::string_view text() const { return text_; }

  private:
    static constexpr std::size_t kPage = 1 << 16;
    static constexpr std::size_t kBlock = 1 << 20;
    static constexpr std::size_t kBlocks = 4096;
    static constexpr std::size_t kSize = kPage + kBlocks * kBlock + kPage;
    char* base_ = nullptr;
    std::string_view text_;
};

// Over 2^32 digits: no count of them wraps, and the exponent is not held below their number.
// The 801st significant digit is not a zero, so that the digits after it need no look.
TEST(ParseDecimal, ATokenOfMoreThanFourBillionDigitsReadsAsItsShortSpelling) {
    if (testing::kAddressSanitizer) GTEST_SKIP() << "four billion checked reads take too long";
    const std::string first_digits = "1" + std::string(799, '0') + "1";
    const FourBillionZeros token(first_digits, "e-4294968096");
    ASSERT_FALSE(token.text().empty());
    EXPECT_EQ(parse_decimal(token.text()), parse_decimal(first_digits + "e-800"));
}
#endif

// A random token: mostly numbers as models write them, with every part varied, and now and then
// a token that only begins like a number or not at all.
std::string random_token(std::mt19937_64& random) {
    auto pick = [&random](int limit) {
        return std::uniform_int_distribution<int>(0, limit - 1)(random);
    };
    auto digits = [&](int count) {
        std::string text;
        for (int d = 0; d < count; ++d)
            text += static_cast<char>('0' + pick(10));
        return text;
    };
    static const char* const kSigns[] = {"", "", "", "-", "+"};
    static const char* const kExponentLetters[] = {"e", "E", "d", "D"};
    static const std::string kOddTails[] = {
        "x",    "abc", "-2", ".",    "\x01", std::string(1, '\0'),
        "\x80", "e",   "e+", "#INF", "nan",  "Infinity"};
    std::string token = kSigns[pick(5)];
    token += digits(pick(10) == 0 ? pick(25) : pick(8));
    if (pick(4) != 0) {
        token += '.';
        token += digits(pick(10) == 0 ? pick(25) : pick(17));
    }
    if (pick(4) == 0) {
        token += kExponentLetters[pick(4)];
        token += kSigns[pick(5)];
        token += std::string(pick(10) == 0 ? pick(25) : 0, '0');  // a long exponent now and then
        token += digits(pick(6));
    }
    if (pick(20) == 0) token += kOddTails[pick(12)];
    return token;
}

// The row conversion must give the same values, to the bit, and stop at the same place as
// taking the tokens one by one, wherever a token lies in the text, the end of the text included.
TEST(TakeDecimals, ConvertsARowExactlyAsTokenByToken) {
    std::mt19937_64 random(7122026);
    static const char* const kDelimiterRuns[] = {" ", " ", "  ", "\t", " \r", "\r\n "};
    for (int line_number = 0; line_number < 20000; ++line_number) {
        std::string line = line_number % 2 == 0 ? "" : " ";
        const int tokens = static_cast<int>(random() % 12);
        for (int t = 0; t < tokens; ++t) {
            if (t > 0) line += kDelimiterRuns[random() % 6];
            line += random_token(random);
        }
        if (random() % 2 == 0) line += " ";
        const int count = static_cast<int>(random() % 14);

        std::string_view expected_rest = line;
        std::vector<double> expected;
        while (static_cast<int>(expected.size()) < count) {
            const std::string_view token = next_token(expected_rest);
            if (token.empty()) break;
            expected.push_back(parse_decimal(token));
        }

        // Converted from a copy of exactly the line's size, so that the sanitizers catch a read
        // past the end of the text.
        const std::vector<char> text(line.begin(), line.end());
        std::string_view rest(text.data(), text.size());
        std::vector<double> values(static_cast<std::size_t>(count) + 1, 99.0);
        const int taken = take_decimals(rest, count, values.data());
        ASSERT_EQ(taken, static_cast<int>(expected.size())) << line;
        for (std::size_t v = 0; v < expected.size(); ++v) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(values[v]),
                      std::bit_cast<std::uint64_t>(expected[v]))
                << line << " value " << v;
        }
        ASSERT_EQ(values[static_cast<std::size_t>(taken)], 99.0) << line;
        ASSERT_EQ(rest.data() - text.data(), expected_rest.data() - line.data()) << line;
    }
}

TEST(ParseInteger, StopsAtTheFirstNonDigit) {
    EXPECT_EQ(parse_integer("30"), 30);
    EXPECT_EQ(parse_integer("3.7"), 3);
    EXPECT_EQ(parse_integer("1e2"), 1);
    EXPECT_EQ(parse_integer("-12x"), -12);
    EXPECT_EQ(parse_integer("+7"), 7);
    EXPECT_EQ(parse_integer("abc"), 0);
    EXPECT_EQ(parse_integer("-"), 0);
}

TEST(ParseInteger, SaturatesInsteadOfWrapping) {
    EXPECT_EQ(parse_integer("99999999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(parse_integer("-99999999999999999999999"), -std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(parse_leading_digits("2001abc"), 2001);
    EXPECT_EQ(parse_leading_digits("-5"), 0);
}

}  // namespace
}  // namespace scantelk
