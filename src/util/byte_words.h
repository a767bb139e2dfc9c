// Eight characters as one 64-bit word, the first character in the lowest byte whatever the
// machine's byte order, so that the word arithmetic of the number field and of the token
// splitter means the same everywhere.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace scantelk {

// The byte c in each of the eight bytes of a word.
constexpr std::uint64_t repeat_byte(unsigned char c) {
    return std::uint64_t{0x0101010101010101} * c;
}

constexpr std::uint64_t reverse_bytes(std::uint64_t word) {
    std::uint64_t reversed = 0;
    for (int i = 0; i < 8; ++i, word >>= 8)
        reversed = (reversed << 8) | (word & 0xFF);
    return reversed;
}

// The eight characters from p on.
inline std::uint64_t load_word(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = reverse_bytes(word);
    return word;
}

// Writes the eight characters of the word from p on.
inline void store_word(char* p, std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::big) word = reverse_bytes(word);
    std::memcpy(p, &word, sizeof word);
}

// The position (0 to 7) of the lowest byte whose top bit is set in `flags`, where only top bits
// are set; 8 when there is none.
inline int first_flagged_byte(std::uint64_t flags) {
    return std::countr_zero(flags) / 8;
}

}  // namespace scantelk
