// Powers of ten as extended reals, and the scaling of a value by a power of ten with at most
// three table operations.
#pragma once

#include <cstdint>

#include "numconv/extended.h"

// Each entry is the extended nearest to its power of ten (exact up to 10^27).
extern const Extended SmallPowersOfTen[32];   // [k] = 10^k, k = 0..31
extern const Extended MediumPowersOfTen[16];  // [i] = 10^(32*i), i = 1..15; [0] is unused
extern const Extended LargePowersOfTen[10];   // [i] = 10^(512*i), i = 1..9; [0] is unused

// 10^0 .. 10^22 as doubles ([0]) and their negatives ([1]): each is exact in a double, so an
// extended operation with one of these as its memory operand gives the same bits as with the
// extended entry, and loads less.
extern const double SignedExactDoublePowersOfTen[2][23];
inline constexpr const double* ExactDoublePowersOfTen = SignedExactDoublePowersOfTen[0];
inline constexpr int32_t LargestExactDoublePower = 22;

// From 10^5120 on no extended is large enough; the table walk is not even attempted.
inline constexpr int32_t PowerOfTenScaleLimit = 5120;

// x * 10^n. n >= 5120 gives +infinity and n <= -5120 gives +0, whatever x is. Otherwise x is
// multiplied (n > 0) or divided (n < 0) by 10^(|n| mod 32), then by 10^(32 * (|n| div 32 mod 16))
// and by 10^(512 * (|n| div 512)) where those are not 1: at most three operations, each rounded
// on its own. An overflow faults at the operation that overflowed (CheckedResult).
// Defined here so that the conversions inline the common one-operation case.
inline Extended ScaleByPowerOfTen(Extended x, int32_t n) {
  if (n == 0) return x;
  if (n >= PowerOfTenScaleLimit) return PositiveInfinity();
  if (n <= -PowerOfTenScaleLimit) return Extended(0);
  if (n > 0) {
    const uint32_t m = static_cast<uint32_t>(n);
    x = CheckedResult(x * SmallPowersOfTen[m & 31u]);
    uint32_t q = m >> 5;
    if (q != 0) {
      if ((q & 15u) != 0) x = CheckedResult(x * MediumPowersOfTen[q & 15u]);
      q >>= 4;
      if (q != 0) x = CheckedResult(x * LargePowersOfTen[q]);
    }
  } else {
    // Dividing by a power of ten of at least 1 cannot overflow or divide by zero, and its only
    // other conditions (underflow, inexact) are masked: no fault can be pending here, so the
    // divisions need no check and may overlap with the work that follows.
    const uint32_t m = static_cast<uint32_t>(-n);
    x = x / SmallPowersOfTen[m & 31u];
    uint32_t q = m >> 5;
    if (q != 0) {
      if ((q & 15u) != 0) x = x / MediumPowersOfTen[q & 15u];
      q >>= 4;
      if (q != 0) x = x / LargePowersOfTen[q];
    }
  }
  return x;
}
