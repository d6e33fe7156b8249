// Eight input bytes looked at in one 64-bit word: a mask with bit 7 of every byte that has a
// property set. Each byte is computed on its own (no carry crosses into the next byte), so the
// lowest set bit names the first byte with the property. The words are loaded little-endian, as
// every target of the program is: the first byte is the lowest.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the byte masks take the first byte of a word to be its lowest");

namespace bytemask {

inline constexpr uint64_t Ones = UINT64_C(0x0101010101010101);
inline constexpr uint64_t High = UINT64_C(0x8080808080808080);
inline constexpr uint64_t Low7 = UINT64_C(0x7F7F7F7F7F7F7F7F);

inline uint64_t Load(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Bytes that are not zero.
inline uint64_t NonZero(uint64_t word) { return (((word & Low7) + Low7) | word) & High; }

// Bytes equal to c.
inline uint64_t Equal(uint64_t word, char c) {
  return ~NonZero(word ^ (Ones * static_cast<unsigned char>(c))) & High;
}

// Bytes of code 33 or more: bit 7 set, or the low seven bits plus 95 reach 128.
inline uint64_t AtLeast33(uint64_t word) { return (((word & Low7) + Ones * 95) | word) & High; }

// Bytes that can be part of a record's field: above code 32, and neither "," nor ";".
inline uint64_t FieldBytes(uint64_t word) {
  return AtLeast33(word) & NonZero(word ^ (Ones * ',')) & NonZero(word ^ (Ones * ';'));
}

// The index (0..7) of the first byte of a non-zero mask.
inline unsigned FirstByte(uint64_t mask) { return static_cast<unsigned>(std::countr_zero(mask)) / 8; }

// The number of LF bytes in data[0, size).
inline size_t CountLineEnds(const char* data, size_t size) {
  size_t count = 0;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    // One 1 in each byte that is a LF; the multiplication adds the bytes up into the top one.
    count += static_cast<size_t>((((Equal(Load(data + i), '\n') >> 7) * Ones) >> 56));
  }
  for (; i < size; ++i) count += data[i] == '\n' ? 1 : 0;
  return count;
}

}  // namespace bytemask
