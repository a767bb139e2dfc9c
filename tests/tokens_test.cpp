#include "util/tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scantelk {
namespace {

std::vector<std::string> tokens_of(std::string_view line) {
    std::vector<std::string> tokens;
    for (std::string_view token = next_token(line); !token.empty(); token = next_token(line))
        tokens.emplace_back(token);
    return tokens;
}

// The end of a token is searched eight bytes at a time; a delimiter must end it wherever it
// falls, and no other byte may, control characters and bytes above 0x7F included.
TEST(NextToken, EndsATokenAtADelimiterOnlyWhereverItFalls) {
    using Tokens = std::vector<std::string>;
    EXPECT_EQ(tokens_of("12345678 9"), (Tokens{"12345678", "9"}));
    EXPECT_EQ(tokens_of(" \t\r\n1234567\n\n123456789012345\r"),
              (Tokens{"1234567", "123456789012345"}));
    EXPECT_EQ(tokens_of("12\v4\f6\x01\x7f 1"), (Tokens{"12\v4\f6\x01\x7f", "1"}));
    EXPECT_EQ(tokens_of("\xC3\xA9\xC3\xA9\xE2\x80\xA0xyz\tq"),
              (Tokens{"\xC3\xA9\xC3\xA9\xE2\x80\xA0xyz", "q"}));
    EXPECT_EQ(tokens_of(std::string_view("ab\0cdefgh ij", 12)),
              (Tokens{std::string("ab\0cdefgh", 9), "ij"}));
}

}  // namespace
}  // namespace scantelk
