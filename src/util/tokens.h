// Splitting a line into value tokens.
#pragma once

#include <cstdint>
#include <string_view>

#include "util/byte_words.h"

namespace scantelk {

// Values are separated by any run of space, tab, carriage return and line feed.
constexpr bool is_token_delimiter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the token that starts at p ends: at the first delimiter, or at `end`. Eight characters
// are tested at a time for a byte below '!', which every delimiter is, and only such a byte is
// then looked at closely.
inline const char* token_end(const char* p, const char* end) {
    while (end - p >= 8) {
        const std::uint64_t word = load_word(p);
        // A byte below '!' borrows and sets its top bit in word - '!'; a byte of 0x80 or more is
        // left out by ~word. A borrow only reaches the bytes after the one that made it.
        const std::uint64_t below = (word - repeat_byte('!')) & ~word & repeat_byte(0x80);
        if (below == 0) {
            p += 8;
            continue;
        }
        p += first_flagged_byte(below);
        if (is_token_delimiter(*p)) return p;
        ++p;  // another control character, which belongs to the token
    }
    while (p != end && !is_token_delimiter(*p))
        ++p;
    return p;
}

// Takes the next token from the front of `rest` and shortens `rest` to what follows it.
// Returns an empty view when no token is left.
inline std::string_view next_token(std::string_view& rest) {
    const char* const end = rest.data() + rest.size();
    const char* start = rest.data();
    while (start != end && is_token_delimiter(*start))
        ++start;
    const char* const stop = token_end(start, end);
    rest = std::string_view(stop, end);
    return std::string_view(start, stop);
}

}  // namespace scantelk
