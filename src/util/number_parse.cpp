#include "util/number_parse.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

#include "util/byte_words.h"
#include "util/tokens.h"

namespace scantelk {
namespace {

constexpr std::int64_t kSaturated = std::numeric_limits<std::int64_t>::max();

// 1 when the text begins with '+' or '-', else 0.
std::size_t sign_length(std::string_view text) {
    return !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
}

bool is_exponent_letter(char c) {
    return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

// The top bit of every byte of the word that is not a decimal digit. A byte below '0' borrows
// and one above '9' carries, but only into the bytes after it, so the first flagged byte is
// always the first non-digit.
constexpr std::uint64_t non_digit_bytes(std::uint64_t word) {
    return ((word + repeat_byte(0x46)) | (word - repeat_byte('0'))) & repeat_byte(0x80);
}

// The number that the first `count` characters of the word (0 to 8 decimal digits) write. The
// digits are moved to the top bytes, so that zeros lead, and then joined in pairs, in fours and
// into the eight by three multiplications instead of a loop whose length varies. The move is
// made in two halves so that no count needs a shift by the full 64 bits.
std::uint64_t value_of_digits(std::uint64_t word, int count) {
    const int half_shift = 4 * (8 - count);
    std::uint64_t digits = ((word - repeat_byte('0')) << half_shift) << half_shift;
    digits = digits * 10 + (digits >> 8);
    constexpr std::uint64_t kLowOfPairs = 0x000000FF000000FF;
    return (((digits & kLowOfPairs) * (100 + (std::uint64_t{1000000} << 32))) +
            (((digits >> 16) & kLowOfPairs) * (1 + (std::uint64_t{10000} << 32)))) >>
           32;
}

constexpr std::uint64_t kDigitScales[] = {1,      10,      100,      1000,     10000,
                                          100000, 1000000, 10000000, 100000000};

// Where the scanner may read. CheckedReads reads only before the end of the text, and a run of
// digits to its end. UncheckedReads makes no checks: it serves a token with at least kRoom bytes
// of text from its start, and reads each run of digits for at most kRunLimit bytes, so that every
// read lies within those bytes. A run that reaches the limit marks the scan cut short, and the
// token is then scanned again with checks.
struct CheckedReads {
    const char* end;
    bool can_read(const char* p, std::ptrdiff_t bytes) const { return end - p >= bytes; }
    static constexpr bool run_may_go_on(std::ptrdiff_t /*length*/) { return true; }
};
struct UncheckedReads {
    static constexpr std::ptrdiff_t kRunLimit = 16;  // two words
    static constexpr bool can_read(const char* /*p*/, std::ptrdiff_t /*bytes*/) { return true; }
    static constexpr bool run_may_go_on(std::ptrdiff_t length) { return length < kRunLimit; }
};
// scan_digits reads whole words while a run is below its limit: up to the limit, not past it.
static_assert(UncheckedReads::kRunLimit % 8 == 0, "a run's limit must be whole words");

// What an unchecked scan reads of a token, at most: a sign, a run of integer digits, a point, a
// run of fraction digits, an exponent letter and its sign, and a run of exponent digits.
constexpr std::ptrdiff_t kSignBytes = 1;
constexpr std::ptrdiff_t kPointBytes = 1;
constexpr std::ptrdiff_t kExponentMarkBytes = 2;
constexpr std::ptrdiff_t kRoom = 52;
static_assert(kRoom == kSignBytes + UncheckedReads::kRunLimit + kPointBytes +
                           UncheckedReads::kRunLimit + kExponentMarkBytes +
                           UncheckedReads::kRunLimit,
              "the room is the sum of what an unchecked scan reads");
// The spellings of non-numbers are read within it too: a sign, "1.#" and "QNAN" at the most.
static_assert(kSignBytes + 3 + 4 <= kRoom, "the longest spelling fits the room");

// The one scanner of digit runs: returns the end of the run of decimal digits that starts at p,
// and appends its digits to `mantissa`, which wraps past 19 digits in all. The digits are found
// and converted eight at a time while eight bytes can be read. A run that reaches the reads'
// limit ends there and sets `cut_short`.
template <typename Reads>
[[gnu::always_inline]] inline const char* scan_digits(const char* p, Reads reads,
                                                      std::uint64_t& mantissa, bool& cut_short) {
    for (std::ptrdiff_t length = 0; reads.can_read(p, 8); length += 8) {
        if (!reads.run_may_go_on(length)) {
            cut_short = true;
            return p;
        }
        const std::uint64_t word = load_word(p);
        const int count = first_flagged_byte(non_digit_bytes(word));
        // Every count is converted alike: the length of a run varies at random in a table of
        // values, and a branch on it would often be guessed wrong.
        mantissa = mantissa * kDigitScales[count] + value_of_digits(word, count);
        p += count;
        if (count < 8) return p;
    }
    for (; reads.can_read(p, 1) && is_decimal_digit(*p); ++p)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    return p;
}

// The run of decimal digits from p on, read one at a time into `value`, which is held at `cap`
// instead of overflowing; returns the end of the run, which the reads' limit may cut short. For
// integers and exponents, which are short or need no speed.
template <typename Reads>
const char* scan_held_digits(const char* p, Reads reads, std::int64_t cap, std::int64_t& value) {
    value = 0;
    const std::int64_t safe = (cap - 9) / 10;  // up to this, any digit may follow
    for (const char* const start = p;
         reads.can_read(p, 1) && reads.run_may_go_on(p - start) && is_decimal_digit(*p); ++p) {
        const int digit = *p - '0';
        if (value <= safe || value <= (cap - digit) / 10) {
            value = value * 10 + digit;
        } else {
            value = cap;
        }
    }
    return p;
}

// A written exponent beyond this is out of every double's range whatever the digits before it,
// as no text holds that many digits, so it is held at this. Counts of digits are below it too,
// which keeps the sums of exponents and counts far from overflow.
constexpr std::int64_t kExponentCap = std::int64_t{1} << 61;

// What the leading-number rule reads from the front of a text. A finite number's value is
// (-1)^negative * <integer digits><fraction digits> * 10^(exponent - fraction digits).
struct ScannedNumber {
    enum class Kind { none, finite, infinity, not_a_number };
    Kind kind = Kind::none;
    bool negative = false;
    const char* digits = nullptr;    // the first integer digit, or where it would stand
    const char* fraction = nullptr;  // the first fraction digit, after the point
    std::int64_t integer_count = 0;
    std::int64_t fraction_count = 0;
    std::int64_t exponent = 0;   // as written, held within kExponentCap
    std::uint64_t mantissa = 0;  // all the digits as one integer; exact only for up to 19 digits
    const char* end = nullptr;   // where the scan stopped: at or before the end of the token
    bool cut_short = false;      // a run of digits reached the reads' limit: scan again with checks

    std::string_view integer_digits() const {
        return {digits, static_cast<std::size_t>(integer_count)};
    }
    std::string_view fraction_digits() const {
        return {fraction, static_cast<std::size_t>(fraction_count)};
    }
    std::int64_t digit_count() const { return integer_count + fraction_count; }
    std::int64_t scale() const { return exponent - fraction_count; }
};
using Kind = ScannedNumber::Kind;

// True when the text from p on begins with `word`, which is in lower case, in any letter case.
// Setting bit 5 lower-cases a letter and makes no other byte a lower-case letter.
template <typename Reads>
bool begins_with_word(const char* p, Reads reads, std::string_view word) {
    if (!reads.can_read(p, static_cast<std::ptrdiff_t>(word.size()))) return false;
    for (const char letter : word) {
        if ((*p++ | 0x20) != letter) return false;
    }
    return true;
}

// The spellings of C and C++ libraries where a number's digits would start: inf and infinity,
// nan and nan(...). Only their beginnings tell them apart, since the rest of a token is ignored.
template <typename Reads>
Kind library_spelling(const char* p, Reads reads) {
    if (begins_with_word(p, reads, "inf")) return Kind::infinity;
    if (begins_with_word(p, reads, "nan")) return Kind::not_a_number;
    return Kind::none;
}

// The spellings of older Windows runtimes after their "1.#": INF, QNAN, SNAN and IND, each
// possibly followed by digits. Anything else leaves the number 1 that stops at the '#'.
template <typename Reads>
Kind windows_spelling(const char* p, Reads reads) {
    if (begins_with_word(p, reads, "inf")) return Kind::infinity;
    if (begins_with_word(p, reads, "qnan") || begins_with_word(p, reads, "snan") ||
        begins_with_word(p, reads, "ind")) {
        return Kind::not_a_number;
    }
    return Kind::finite;
}

// The one scanner of the decimal grammar: an optional sign, then digits with an optional point
// and an optional exponent (E, e, D or d, an optional sign and digits; a letter and sign without
// digits leave the exponent 0), or one of the spellings of infinity and NaN.
template <typename Reads>
[[gnu::always_inline]] inline ScannedNumber scan_decimal(const char* p, Reads reads) {
    ScannedNumber number;
    // The sign and the point are branched on: in a table most values have a point and the same
    // sign, so the guess is mostly right, and a right one lets the digits after the byte be read
    // before the byte itself is.
    if (reads.can_read(p, 1) && (*p == '+' || *p == '-')) {
        number.negative = *p == '-';
        ++p;
    }
    number.digits = p;
    p = scan_digits(p, reads, number.mantissa, number.cut_short);
    number.integer_count = p - number.digits;
    const bool has_point = reads.can_read(p, 1) && *p == '.';
    number.fraction = p;
    if (has_point) {
        number.fraction = ++p;
        p = scan_digits(p, reads, number.mantissa, number.cut_short);
        number.fraction_count = p - number.fraction;
    }
    number.end = p;
    if (number.digit_count() == 0) [[unlikely]] {
        number.kind = library_spelling(number.digits, reads);
        number.end = number.digits;
        return number;
    }
    number.kind = Kind::finite;
    // The '#' first: whether there is a point varies, a '#' hardly ever comes.
    if (reads.can_read(p, 1) && *p == '#' && has_point && number.fraction_count == 0) [[unlikely]] {
        if (number.integer_digits() == "1") number.kind = windows_spelling(p + 1, reads);
        return number;
    }

    if (reads.can_read(p, 2) && is_exponent_letter(*p)) {
        const char* digits = p + 1;
        const bool exponent_negative = *digits == '-';
        if (*digits == '+' || *digits == '-') ++digits;
        std::int64_t exponent = 0;  // 0 without digits
        number.end = scan_held_digits(digits, reads, kExponentCap, exponent);
        number.cut_short |= !reads.run_may_go_on(number.end - digits);
        number.exponent = exponent_negative ? -exponent : exponent;
    }
    return number;
}

// The magnitude with the sign bit set when `negative`, without a branch.
double with_sign(double magnitude, bool negative) {
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) |
                                 (static_cast<std::uint64_t>(negative) << 63));
}

// Clinger's fast path: a mantissa of at most 53 bits times or divided by a power of ten up to
// 1e22, both exact doubles, rounds once and so correctly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;

// At most 19 digits fit 64 bits.
constexpr int kMaxMantissaDigits = 19;

// Numbers as models write them: at most 19 digits, so the digits fit 64 bits, and a value that
// Clinger's fast path converts exactly. False for anything else.
[[gnu::always_inline]] inline bool convert_fast(const ScannedNumber& number, double& value) {
    const bool digits_fit = number.digit_count() <= kMaxMantissaDigits;
    const std::int64_t scale = number.scale();
    const bool exact = digits_fit && number.mantissa <= (std::uint64_t{1} << 53) &&
                       static_cast<std::uint64_t>(scale + kLargestExactPower) <=
                           2 * std::uint64_t{kLargestExactPower};
    if (!exact) [[unlikely]] {
        // Zero is zero whatever its exponent.
        if (!digits_fit || number.mantissa != 0) return false;
        value = number.negative ? -0.0 : 0.0;
        return true;
    }
    const auto exact_mantissa = static_cast<double>(number.mantissa);
    // One of the two powers is 1, so the value is rounded once; there is no branch on the
    // scale's sign, which varies at random in a table of values.
    const double magnitude = exact_mantissa * kExactPowers[std::max<std::int64_t>(scale, 0)] /
                             kExactPowers[std::max<std::int64_t>(-scale, 0)];
    value = with_sign(magnitude, number.negative);
    return true;
}

// Enough significant digits to round any decimal to the nearest double: a value halfway between
// two doubles has at most 767.
constexpr std::size_t kSignificantDigits = 800;

// Decimal orders of magnitude far beyond those of doubles (1e-324 to 1e309): a number beyond
// them is zero or infinity without a conversion.
constexpr std::int64_t kOrderBeyondDoubles = 400;

// Any number, by the standard conversion of its digits cut to kSignificantDigits significant ones
// and written with their scale (digits e scale). A '1' after them stands for any non-zero digits
// cut, which rounds alike, so that a text of billions of digits converts as a short one would.
[[gnu::noinline, gnu::cold]] double convert_general(const ScannedNumber& number) {
    std::string plain;
    std::int64_t scale = number.scale();
    bool leading_zeros = true;
    bool cut_non_zero = false;
    for (std::string_view digits : {number.integer_digits(), number.fraction_digits()}) {
        if (leading_zeros) {
            digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
            leading_zeros = digits.empty();
        }
        const std::string_view kept = digits.substr(0, kSignificantDigits - plain.size());
        const std::string_view cut = digits.substr(kept.size());
        plain.append(kept);
        scale += static_cast<std::int64_t>(cut.size());
        cut_non_zero = cut_non_zero || cut.find_first_not_of('0') != std::string_view::npos;
    }
    if (cut_non_zero) {
        plain += '1';
        --scale;
    }
    // The order of the first significant digit tells overflow (above the range) from underflow.
    const std::int64_t order = static_cast<std::int64_t>(plain.size()) + scale;
    const double limit =
        !plain.empty() && order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    double value = limit;
    if (!plain.empty() && order > -kOrderBeyondDoubles && order < kOrderBeyondDoubles) {
        plain += 'e';
        plain += std::to_string(scale);
        const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
        if (result.ec == std::errc::result_out_of_range) value = limit;
    }
    return with_sign(value, number.negative);
}

// The double that a scanned text stands for. The sign of a NaN is not kept.
[[gnu::always_inline]] inline double convert(const ScannedNumber& number) {
    if (number.kind == Kind::finite) [[likely]] {
        double value = 0.0;
        return convert_fast(number, value) ? value : convert_general(number);
    }
    if (number.kind == Kind::infinity) {
        constexpr double inf = std::numeric_limits<double>::infinity();
        return number.negative ? -inf : inf;
    }
    return number.kind == Kind::none ? 0.0 : std::numeric_limits<double>::quiet_NaN();
}

// The number at the front of a token, scanned again with checks near the end of the text and
// after an unchecked scan that was cut short.
[[gnu::noinline]] ScannedNumber scan_checked(const char* p, const char* end) {
    return scan_decimal(p, CheckedReads{end});
}

}  // namespace

double parse_decimal(std::string_view text) {
    return convert(scan_decimal(text.data(), CheckedReads{text.data() + text.size()}));
}

bool spells_non_number(std::string_view token) {
    const Kind kind = scan_decimal(token.data(), CheckedReads{token.data() + token.size()}).kind;
    return kind == Kind::infinity || kind == Kind::not_a_number;
}

int take_decimals(std::string_view& rest, int count, double* values) {
    const char* p = rest.data();  // where the next token may start
    const char* const end = p + rest.size();
    const char* stop = p;  // the end of the last token taken
    double* out = values;
    for (const double* const out_end = values + count; out < out_end; ++out) {
        while (p != end && is_token_delimiter(*p))
            ++p;
        if (p == end) {
            stop = end;
            break;
        }
        ScannedNumber number =
            end - p >= kRoom ? scan_decimal(p, UncheckedReads{}) : scan_checked(p, end);
        if (number.cut_short) [[unlikely]]
            number = scan_checked(p, end);
        *out = convert(number);
        // The number ends at the token's end, as a rule; no delimiter continues a number, so
        // otherwise the rest of the token follows where the scan stopped.
        stop = number.end != end && is_token_delimiter(*number.end) ? number.end
                                                                    : token_end(number.end, end);
        p = stop == end ? end : stop + 1;  // the delimiter after the token is known
    }
    rest = std::string_view(stop, static_cast<std::size_t>(end - stop));
    return static_cast<int>(out - values);
}

std::int64_t parse_integer(std::string_view text) {
    const std::size_t sign = sign_length(text);
    const std::int64_t magnitude = parse_leading_digits(text.substr(sign));
    return sign == 1 && text[0] == '-' ? -magnitude : magnitude;
}

std::int64_t parse_leading_digits(std::string_view text) {
    std::int64_t value = 0;
    scan_held_digits(text.data(), CheckedReads{text.data() + text.size()}, kSaturated, value);
    return value;
}

std::string_view integer_text(std::string_view text) {
    const std::size_t sign = sign_length(text);
    return text.substr(0, sign + leading_digits_text(text.substr(sign)).size());
}

std::string_view leading_digits_text(std::string_view text) {
    std::int64_t value = 0;
    return std::string_view(
        text.data(),
        scan_held_digits(text.data(), CheckedReads{text.data() + text.size()}, kSaturated, value));
}

}  // namespace scantelk
