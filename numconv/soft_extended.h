// The extended real computed in software, for machines without an x87: the 80-bit format and
// each operation that framecalc performs on it, rounded as the x87 rounds under the program's
// control word (64-bit significand, to nearest with ties to even).
//
// These functions raise nothing. Each returns its result as the x87 delivers it with every
// exception masked, together with the exception flags that the operation set in the x87's status
// word; whoever calls them decides, by the control word's masks, whether that is a fault (the
// software side of the arithmetic does, numconv/soft/). Operands may be any 80 bits: denormals,
// the x87's pseudo-denormals (exponent field 0 with the integer bit set), unnormals,
// pseudo-infinities and pseudo-NaNs, signalling and quiet NaNs of either sign.
#pragma once

#include <bit>
#include <cstdint>

struct SoftExtended {
  uint64_t significand;   // with the explicit integer bit (bit 63)
  uint16_t signExponent;  // sign (bit 15) and the exponent biased by 16383
};

// The x87 status word's exception flags, and one flag of the software's own: SoftTiny marks a
// result below the normal range after rounding, which an unmasked underflow exception reports
// even when the result is exact (a masked one sets SoftUnderflow only when it is also inexact).
inline constexpr uint32_t SoftInvalid = 0x01;
inline constexpr uint32_t SoftDenormal = 0x02;
inline constexpr uint32_t SoftZeroDivide = 0x04;
inline constexpr uint32_t SoftOverflow = 0x08;
inline constexpr uint32_t SoftUnderflow = 0x10;
inline constexpr uint32_t SoftPrecision = 0x20;
inline constexpr uint32_t SoftTiny = 0x100;

// The exception flags that become a fault under `controlWord` (its low six bits are the masks):
// the x87's exception flags with the underflow flag standing for a tiny result when the
// underflow exception is unmasked.
constexpr uint32_t SoftUnmaskedExceptions(uint32_t flags, uint16_t controlWord) {
  const uint32_t raised = (flags & 0x3Fu) | ((flags & SoftTiny) != 0 ? SoftUnderflow : 0u);
  return raised & ~uint32_t{controlWord} & 0x3Fu;
}

struct SoftResult {
  SoftExtended value;
  uint32_t flags;
};

SoftResult SoftAdd(SoftExtended a, SoftExtended b);
SoftResult SoftSubtract(SoftExtended a, SoftExtended b);
SoftResult SoftMultiply(SoftExtended a, SoftExtended b);
SoftResult SoftDivide(SoftExtended a, SoftExtended b);

// Change of sign and absolute value touch the sign bit alone and never raise, as FCHS and FABS.
constexpr SoftExtended SoftNegate(SoftExtended a) {
  return {a.significand, static_cast<uint16_t>(a.signExponent ^ 0x8000u)};
}
constexpr SoftExtended SoftAbs(SoftExtended a) {
  return {a.significand, static_cast<uint16_t>(a.signExponent & 0x7FFFu)};
}

enum class SoftOrder : uint8_t { Less, Equal, Greater, Unordered };

struct SoftComparison {
  SoftOrder order;  // of a against b
  uint32_t flags;
};

// The ordered comparison (FCOMI: any NaN is an invalid operation) used by <, <=, > and >=, and
// the unordered one (FUCOMI: only a signalling NaN is) used by == and !=.
SoftComparison SoftCompare(SoftExtended a, SoftExtended b);
SoftComparison SoftCompareQuiet(SoftExtended a, SoftExtended b);

// Integers convert exactly.
constexpr SoftExtended SoftFromUint64(uint64_t value) {
  if (value == 0) return {0, 0};
  const int shift = std::countl_zero(value);
  return {value << shift, static_cast<uint16_t>(16383 + 63 - shift)};
}
constexpr SoftExtended SoftFromInt64(int64_t value) {
  const uint64_t magnitude =
      value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  SoftExtended result = SoftFromUint64(magnitude);
  if (value < 0) result.signExponent |= 0x8000u;
  return result;
}

struct SoftIntegerResult {
  int64_t value;
  uint32_t flags;
};

// Rounded to an integer under the control word (to nearest, ties to even), as FISTP m64 stores
// it: a NaN, an infinity or a value beyond the 64-bit range is invalid and gives the integer
// indefinite, INT64_MIN.
SoftIntegerResult SoftRoundToInt64(SoftExtended a);

// From a double, exactly (FLD m64): a denormal double is a denormal operand, a signalling NaN
// invalid (and quietened).
SoftResult SoftFromDouble(double value);

struct SoftDoubleResult {
  double value;
  uint32_t flags;
};

// To a double (FST m64): rounded to nearest, ties to even, in the double's range.
SoftDoubleResult SoftToDouble(SoftExtended a);

// From an IEEE binary128 (high and low 64 bits), rounded to the 64-bit significand: the
// long double of machines whose long double is that format.
SoftResult SoftFromBinary128(uint64_t high, uint64_t low);
