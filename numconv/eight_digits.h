// Up to eight decimal digits read as one 64-bit word (numconv/byte_words.h: the first character
// is the lowest byte) instead of one character at a time.
#pragma once

#include <bit>
#include <cstdint>

#include "numconv/byte_words.h"

namespace eightdigits {

using byteword::High;
using byteword::Load;
using byteword::Low7;
using byteword::Ones;

// The number of characters, 0 to 8, before the first one that is not a digit "0".."9" (8 when
// all eight are digits). Each byte is looked at on its own: no carry crosses into the next one.
inline uint32_t LeadingDigits(uint64_t word) {
  const uint64_t low = word & Low7;
  const uint64_t atLeastZero = low + Ones * (0x80 - '0');    // bit 7: code & 0x7F >= '0'
  const uint64_t aboveNine = low + Ones * (0x80 - '9' - 1);  // bit 7: code & 0x7F > '9'
  const uint64_t digits = atLeastZero & ~aboveNine & ~word & High;
  return static_cast<uint32_t>(std::countr_zero(~digits & High)) / 8;
}

// The value of the first `count` characters (0 to 8), all digits; the characters after them are
// ignored.
inline uint64_t DigitsValue(uint64_t word, uint32_t count) {
  // Each digit's value in its byte. A character after the digits that is below "0" borrows from
  // the byte above it; the digits neither borrow nor lend, and everything after them is shifted
  // out, the `count` digits moving to the top with zeros before them. Two shifts, as one of 64
  // bits (no digits) is not defined.
  uint64_t value = word - Ones * '0';
  const uint32_t halfShift = 32 - 4 * count;
  value = (value << halfShift) << halfShift;
  // Byte i becomes 10 d(i) + d(i + 1): bytes 0, 2, 4 and 6 hold the four pairs of digits. Two
  // multiplications then weigh the pairs by 10^6 and 10^2, and by 10^4 and 1, into the upper
  // halves of their products (the lower halves stay below 10^4: no carry crosses into them).
  value = value * 10 + (value >> 8);
  constexpr uint64_t Pairs = UINT64_C(0x000000FF000000FF);
  value = ((value & Pairs) * (100 + (UINT64_C(1000000) << 32)) +
           ((value >> 16) & Pairs) * (1 + (UINT64_C(10000) << 32))) >>
          32;
  return value & 0xFFFFFFFFu;
}

}  // namespace eightdigits
