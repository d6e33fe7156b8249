// Powers of ten as extended reals, and the scaling of a value by a power of ten with at most
// three table operations.
#pragma once

#include <cstdint>

#include "numconv/extended.h"

// Each entry is the extended nearest to its power of ten (exact up to 10^27).
extern const Extended SmallPowersOfTen[32];   // [k] = 10^k, k = 0..31
extern const Extended MediumPowersOfTen[16];  // [i] = 10^(32*i), i = 1..15; [0] is unused
extern const Extended LargePowersOfTen[10];   // [i] = 10^(512*i), i = 1..9; [0] is unused

// x * 10^n. n >= 5120 gives +infinity and n <= -5120 gives +0, whatever x is. Each table
// operation rounds on its own; an overflow faults at the operation that overflowed.
Extended ScaleByPowerOfTen(Extended x, int32_t n);
