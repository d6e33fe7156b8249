// Shared pieces of the number conversion: the bit-level view of an extended real and the
// counted text in which reals are written.
#pragma once

#include <cstdint>
#include <cstring>

#include "numconv/fpu_control.h"

// A length byte followed by at most 255 characters.
struct CountedText {
  uint8_t length = 0;
  char chars[255];
};

// The 80 bits of an extended real: 64-bit significand, then the sign and exponent word.
struct ExtendedBits {
  uint64_t significand;
  uint16_t signExponent;
};

inline ExtendedBits BitsOf(Extended value) {
  ExtendedBits bits;
  std::memcpy(&bits.significand, &value, 8);
  std::memcpy(&bits.signExponent, reinterpret_cast<const char*>(&value) + 8, 2);
  return bits;
}

inline Extended ExtendedFromBits(uint16_t signExponent, uint64_t significand) {
  Extended value = 0;
  std::memcpy(&value, &significand, 8);
  std::memcpy(reinterpret_cast<char*>(&value) + 8, &signExponent, 2);
  return value;
}
