// Eight bytes looked at as one 64-bit word: the byte masks of a word and its load. Words are
// loaded little-endian, as every target of the program is: the first byte is the lowest.
// Each use computes every byte on its own, so that no carry crosses into the next byte.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the byte words take the first byte to be the lowest");

namespace byteword {

inline constexpr uint64_t Ones = UINT64_C(0x0101010101010101);  // 1 in every byte
inline constexpr uint64_t High = UINT64_C(0x8080808080808080);  // bit 7 of every byte
inline constexpr uint64_t Low7 = UINT64_C(0x7F7F7F7F7F7F7F7F);  // bits 0..6 of every byte

inline uint64_t Load(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

}  // namespace byteword
