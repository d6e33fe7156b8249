// Whole numbers as text, written into the caller's buffer: decimal digits, or hexadecimal digits
// in upper case. No sign, no terminator, nothing allocated: the exit code's message, the message
// formatter, framecalc-batch and the probe write their numbers with these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace integertext {

// Room for any 64-bit value in either base (20 decimal digits, 16 hexadecimal).
constexpr size_t MaxDigits = 20;

// The digits of `value` in `base` (2 to 16), the most significant first, at `out` (room for
// MaxDigits); their number. Zero is one digit.
inline size_t WriteDigits(uint64_t value, unsigned base, char* out) {
  constexpr char Digits[] = "0123456789ABCDEF";
  char reversed[64];
  size_t count = 0;
  do {
    reversed[count++] = Digits[value % base];
    value /= base;
  } while (value != 0);
  for (size_t i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
  return count;
}

inline size_t WriteDecimal(uint64_t value, char* out) { return WriteDigits(value, 10, out); }

// The lowest `width` hexadecimal digits of `value`, with its leading zeros: a field of fixed width.
inline void WriteHexField(uint64_t value, int width, char* out) {
  constexpr char Digits[] = "0123456789ABCDEF";
  for (int i = width - 1; i >= 0; --i) {
    out[i] = Digits[value & 0xF];
    value >>= 4;
  }
}

}  // namespace integertext
