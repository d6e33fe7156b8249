// A normal double widened to the extended format (FLD m64), from the double's bits alone: its 53
// bits at the top of the 64-bit significand, the integer bit explicit, the exponent rebiased from
// 1023 to 16383. Widening a normal double is exact and raises nothing; zeros, denormals,
// infinities and NaNs are not normal and are widened by the arithmetic itself.
#pragma once

#include <cstdint>

struct WidenedDouble {
  uint64_t significand;
  uint16_t signExponent;
};

// `image` is the double's bits.
constexpr bool IsNormalDouble(uint64_t image) {
  const uint32_t field = static_cast<uint32_t>(image >> 52) & 0x7FFu;
  return field - 1u < 0x7FEu;
}

// The extended bits of a normal double (IsNormalDouble(image)).
constexpr WidenedDouble WidenNormalDouble(uint64_t image) {
  const uint32_t field = static_cast<uint32_t>(image >> 52) & 0x7FFu;
  return {(image << 11) | (uint64_t{1} << 63),
          static_cast<uint16_t>(((image >> 48) & 0x8000u) | (field - 1023u + 16383u))};
}
