// Splitting a line into value tokens.
#pragma once

#include <string_view>

namespace scantelk {

// Values are separated by any run of space, tab, carriage return and line feed.
constexpr bool is_token_delimiter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Takes the next token from the front of `rest` and shortens `rest` to what follows it.
// Returns an empty view when no token is left.
inline std::string_view next_token(std::string_view& rest) {
    std::size_t start = 0;
    while (start < rest.size() && is_token_delimiter(rest[start]))
        ++start;
    std::size_t stop = start;
    while (stop < rest.size() && !is_token_delimiter(rest[stop]))
        ++stop;
    const std::string_view token = rest.substr(start, stop - start);
    rest.remove_prefix(stop);
    return token;
}

}  // namespace scantelk
