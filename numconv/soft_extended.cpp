// The software extended real. Every finite operand is taken apart into sign, unbiased exponent
// and a significand normalised to bit 63; the exact result is formed in 128 bits (with the bits
// shifted out of it kept as a sticky bit in the lowest place) and rounded once by RoundPack,
// which also makes the denormal results.
//
// Where the x87 differs from what one would guess from the IEEE rules, the x87 is followed; each
// such place says so.
#include "numconv/soft_extended.h"

namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr int32_t Bias = 16383;
constexpr uint16_t ExponentMask = 0x7FFF;
constexpr uint16_t SignBit = 0x8000;
constexpr uint64_t IntegerBit = UINT64_C(0x8000000000000000);
constexpr uint64_t QuietBit = UINT64_C(0x4000000000000000);
constexpr uint64_t HalfOf64 = UINT64_C(0x8000000000000000);

// The default NaN ("real indefinite") of the x87: negative, quiet, with no payload.
constexpr SoftExtended DefaultNaN{UINT64_C(0xC000000000000000), 0xFFFF};

enum class Kind : uint8_t { Zero, Finite, Infinity, QuietNaN, SignallingNaN, Unsupported };

struct Unpacked {
  Kind kind;
  bool negative;
  bool denormal;         // exponent field 0 and not zero (a pseudo-denormal too)
  int32_t exponent;      // unbiased, of bit 63 of `significand` (finite values)
  uint64_t significand;  // normalised (bit 63 set) for finite values, as stored otherwise
};

constexpr SoftExtended Pack(bool negative, uint16_t field, uint64_t significand) {
  return {significand, static_cast<uint16_t>(field | (negative ? SignBit : 0))};
}

[[gnu::always_inline]] inline Unpacked Unpack(SoftExtended a) {
  Unpacked u{};
  u.negative = (a.signExponent & SignBit) != 0;
  const int32_t field = a.signExponent & ExponentMask;
  const uint64_t s = a.significand;
  u.significand = s;
  if (field == 0) {
    if (s == 0) {
      u.kind = Kind::Zero;
      return u;
    }
    // A denormal is worth its significand times 2^(1 - 16383 - 63); a pseudo-denormal (integer
    // bit set) is read the same way, as the x87 reads it: the smallest normal exponent.
    const int shift = std::countl_zero(s);
    u.kind = Kind::Finite;
    u.denormal = true;
    u.significand = s << shift;
    u.exponent = 1 - Bias - shift;
    return u;
  }
  if ((s & IntegerBit) == 0) {
    // Unnormals, pseudo-infinities and pseudo-NaNs: the x87 refuses them as operands.
    u.kind = Kind::Unsupported;
    return u;
  }
  if (field == ExponentMask) {
    if ((s << 1) == 0) {
      u.kind = Kind::Infinity;
    } else {
      u.kind = (s & QuietBit) != 0 ? Kind::QuietNaN : Kind::SignallingNaN;
    }
    return u;
  }
  u.kind = Kind::Finite;
  u.exponent = field - Bias;
  return u;
}

bool IsNaN(const Unpacked& u) { return u.kind == Kind::QuietNaN || u.kind == Kind::SignallingNaN; }

constexpr SoftExtended Infinity(bool negative) { return Pack(negative, ExponentMask, IntegerBit); }
constexpr SoftExtended Zero(bool negative) { return Pack(negative, 0, 0); }

int LeadingZeros128(Uint128 value) {
  const uint64_t high = static_cast<uint64_t>(value >> 64);
  if (high != 0) return std::countl_zero(high);
  return 64 + std::countl_zero(static_cast<uint64_t>(value));
}

// value >> shift, with every bit shifted out gathered into the lowest bit.
Uint128 ShiftRightSticky(Uint128 value, int32_t shift) {
  if (shift <= 0) return value;
  if (shift >= 128) return value != 0 ? 1 : 0;
  const bool sticky = (value << (128 - shift)) != 0;
  return (value >> shift) | (sticky ? 1 : 0);
}

uint64_t ShiftRightSticky64(uint64_t value, int32_t shift) {
  if (shift <= 0) return value;
  if (shift >= 64) return value != 0 ? 1 : 0;
  const bool sticky = (value << (64 - shift)) != 0;
  return (value >> shift) | (sticky ? 1 : 0);
}

// (high * 2^64 + low) / divisor and its remainder, where high < divisor, so that the quotient
// fits in 64 bits. x86-64's divide instruction does exactly this in one step, while the general
// 128-bit division of the compiler's run-time library does not know that the quotient fits: the
// only place where the software arithmetic asks for the processor's help. Elsewhere the quotient
// is found as two 32-bit digits, each from one 64-bit division by the divisor's upper half (long
// division in base 2^32 with the divisor normalised, Knuth's algorithm D): a digit estimated so is
// at most two too large and is corrected before it is used.
inline uint64_t DivideWide(uint64_t high, uint64_t low, uint64_t divisor, uint64_t& remainder) {
#if defined(__x86_64__)
  uint64_t quotient;
  asm("divq %[divisor]"
      : "=a"(quotient), "=d"(remainder)
      : [divisor] "rm"(divisor), "a"(low), "d"(high)
      : "cc");
  return quotient;
#else
  constexpr uint64_t Base = UINT64_C(1) << 32;
  constexpr uint64_t DigitMask = Base - 1;
  // Shifted so that the divisor's top bit is set; the numerator with it (high < divisor, so
  // nothing is lost from its top).
  const int shift = std::countl_zero(divisor);
  const uint64_t v = divisor << shift;
  const uint64_t vHigh = v >> 32;
  const uint64_t vLow = v & DigitMask;
  const uint64_t top = shift == 0 ? high : (high << shift) | (low >> (64 - shift));
  const uint64_t bottom = low << shift;
  const uint64_t bottomHigh = bottom >> 32;
  const uint64_t bottomLow = bottom & DigitMask;
  // One digit of the quotient of (partial * 2^32 + next) by v, where partial < v.
  auto digit = [&](uint64_t partial, uint64_t next) {
    uint64_t q = partial / vHigh;
    uint64_t rest = partial - q * vHigh;
    while (q >= Base || q * vLow > ((rest << 32) | next)) {
      --q;
      rest += vHigh;
      if (rest >= Base) break;
    }
    return q;
  };
  const uint64_t q1 = digit(top, bottomHigh);
  const uint64_t middle = (top << 32) + bottomHigh - q1 * v;  // below v: the true value fits
  const uint64_t q0 = digit(middle, bottomLow);
  remainder = ((middle << 32) + bottomLow - q0 * v) >> shift;
  return (q1 << 32) | q0;
#endif
}

// Whether the part below the kept bits (as a 64-bit fraction with `half` its midpoint) sends
// `kept` up: to nearest, ties to even.
bool RoundsUp(uint64_t kept, uint64_t rest, uint64_t half) {
  return rest > half || (rest == half && (kept & 1) != 0);
}

// Rounds sign * significand * 2^(exponent - 127) (bit 127 set, the lowest bit possibly sticky) to
// the extended format. Tininess is judged after rounding, as the x87 judges it: a value that
// rounds up to the smallest normal is no underflow. A tiny result is rounded once, on the
// denormal grid.
[[gnu::always_inline]] inline SoftResult RoundPack(bool negative, int32_t exponent,
                                                   Uint128 significand) {
  const int32_t biased = exponent + Bias;
  uint64_t kept = static_cast<uint64_t>(significand >> 64);
  uint64_t rest = static_cast<uint64_t>(significand);
  int32_t roundedExponent = biased;
  if (RoundsUp(kept, rest, HalfOf64)) {
    if (++kept == 0) {
      kept = IntegerBit;
      ++roundedExponent;
    }
  }
  const uint32_t inexact = rest != 0 ? SoftPrecision : 0;
  if (roundedExponent >= ExponentMask) {
    return {Infinity(negative), SoftOverflow | SoftPrecision};
  }
  if (roundedExponent >= 1) {
    return {Pack(negative, static_cast<uint16_t>(roundedExponent), kept), inexact};
  }
  const Uint128 shifted = ShiftRightSticky(significand, 1 - biased);
  kept = static_cast<uint64_t>(shifted >> 64);
  rest = static_cast<uint64_t>(shifted);
  if (RoundsUp(kept, rest, HalfOf64)) ++kept;  // below 2^63 before: cannot wrap
  // A carry into the integer bit makes the smallest normal.
  const uint16_t field = (kept & IntegerBit) != 0 ? 1 : 0;
  const uint32_t flags = SoftTiny | (rest != 0 ? SoftUnderflow | SoftPrecision : 0);
  return {Pack(negative, field, kept), flags};
}

// A finite operand as it is, in canonical encoding (a pseudo-denormal becomes the normal it
// stands for); exact.
SoftResult Canonical(const Unpacked& u) {
  return RoundPack(u.negative, u.exponent, Uint128{u.significand} << 64);
}

// The x87's choice between NaN operands: a quiet NaN before a signalling one; between two of the
// same kind the larger significand, and for equal significands the positive one (the x87's rule,
// whichever operand stands where). The result is quiet; a signalling operand is invalid.
SoftResult PropagateNaN(const Unpacked& a, const Unpacked& b) {
  const uint32_t flags =
      (a.kind == Kind::SignallingNaN || b.kind == Kind::SignallingNaN) ? SoftInvalid : 0;
  const Unpacked* chosen;
  if (!IsNaN(b)) {
    chosen = &a;
  } else if (!IsNaN(a)) {
    chosen = &b;
  } else if (a.kind != b.kind) {
    chosen = a.kind == Kind::QuietNaN ? &a : &b;
  } else if (a.significand != b.significand) {
    chosen = a.significand > b.significand ? &a : &b;
  } else {
    chosen = a.negative ? &b : &a;
  }
  return {Pack(chosen->negative, ExponentMask, chosen->significand | QuietBit), flags};
}

// What an operation on a refused operand or on NaNs gives; false when neither is involved.
bool SpecialOperands(const Unpacked& a, const Unpacked& b, SoftResult& result) {
  if (a.kind == Kind::Unsupported || b.kind == Kind::Unsupported) {
    result = {DefaultNaN, SoftInvalid};
    return true;
  }
  if (IsNaN(a) || IsNaN(b)) {
    result = PropagateNaN(a, b);
    return true;
  }
  return false;
}

uint32_t DenormalFlag(const Unpacked& a, const Unpacked& b) {
  return (a.denormal || b.denormal) ? SoftDenormal : 0;
}

SoftResult AddUnpacked(const Unpacked& a, Unpacked b) {
  SoftResult result;
  if (SpecialOperands(a, b, result)) return result;
  if (a.kind == Kind::Infinity || b.kind == Kind::Infinity) {
    if (a.kind == Kind::Infinity && b.kind == Kind::Infinity) {
      if (a.negative != b.negative) return {DefaultNaN, SoftInvalid};
      return {Infinity(a.negative), 0};
    }
    const Unpacked& infinite = a.kind == Kind::Infinity ? a : b;
    return {Infinity(infinite.negative), DenormalFlag(a, b)};
  }
  const uint32_t denormal = DenormalFlag(a, b);
  if (a.kind == Kind::Zero || b.kind == Kind::Zero) {
    if (a.kind == Kind::Zero && b.kind == Kind::Zero) {
      // Zeros of opposite signs add to +0 when rounding to nearest.
      return {Zero(a.negative && b.negative), 0};
    }
    result = Canonical(a.kind == Kind::Zero ? b : a);
    result.flags |= denormal;
    return result;
  }
  // The larger magnitude first.
  const bool swap =
      a.exponent < b.exponent || (a.exponent == b.exponent && a.significand < b.significand);
  const Unpacked& big = swap ? b : a;
  const Unpacked& small = swap ? a : b;
  // Bit 125 stands for 2^big.exponent: two bits of room above for the carry and the normalising.
  const Uint128 large = Uint128{big.significand} << 62;
  const Uint128 other =
      ShiftRightSticky(Uint128{small.significand} << 62, big.exponent - small.exponent);
  Uint128 sum;
  if (big.negative == small.negative) {
    sum = large + other;
  } else {
    sum = large - other;
    if (sum == 0) return {Zero(false), denormal};
  }
  const int shift = LeadingZeros128(sum);
  result = RoundPack(big.negative, big.exponent + 2 - shift, sum << shift);
  result.flags |= denormal;
  return result;
}

}  // namespace

SoftResult SoftAdd(SoftExtended a, SoftExtended b) { return AddUnpacked(Unpack(a), Unpack(b)); }

SoftResult SoftSubtract(SoftExtended a, SoftExtended b) {
  Unpacked ub = Unpack(b);
  ub.negative = !ub.negative;
  Unpacked ua = Unpack(a);
  // A NaN keeps its own sign: the subtrahend's sign is changed for the sum only.
  if (IsNaN(ub) || IsNaN(ua)) {
    if (ua.kind != Kind::Unsupported && ub.kind != Kind::Unsupported) {
      ub.negative = !ub.negative;
      return PropagateNaN(ua, ub);
    }
  }
  return AddUnpacked(ua, ub);
}

SoftResult SoftMultiply(SoftExtended ea, SoftExtended eb) {
  const Unpacked a = Unpack(ea);
  const Unpacked b = Unpack(eb);
  SoftResult result;
  if (SpecialOperands(a, b, result)) return result;
  const bool negative = a.negative != b.negative;
  if (a.kind == Kind::Infinity || b.kind == Kind::Infinity) {
    if (a.kind == Kind::Zero || b.kind == Kind::Zero) return {DefaultNaN, SoftInvalid};
    return {Infinity(negative), DenormalFlag(a, b)};
  }
  if (a.kind == Kind::Zero || b.kind == Kind::Zero) return {Zero(negative), DenormalFlag(a, b)};
  Uint128 product = Uint128{a.significand} * b.significand;
  // The product of two significands in [2^63, 2^64) lies in [2^126, 2^128).
  const int shift = LeadingZeros128(product);
  result = RoundPack(negative, a.exponent + b.exponent + 1 - shift, product << shift);
  result.flags |= DenormalFlag(a, b);
  return result;
}

SoftResult SoftDivide(SoftExtended ea, SoftExtended eb) {
  const Unpacked a = Unpack(ea);
  const Unpacked b = Unpack(eb);
  SoftResult result;
  if (SpecialOperands(a, b, result)) return result;
  const bool negative = a.negative != b.negative;
  if (a.kind == Kind::Infinity) {
    if (b.kind == Kind::Infinity) return {DefaultNaN, SoftInvalid};
    // An infinity divided by zero is an infinity, no division by zero.
    return {Infinity(negative), DenormalFlag(a, b)};
  }
  if (b.kind == Kind::Infinity) return {Zero(negative), DenormalFlag(a, b)};
  if (b.kind == Kind::Zero) {
    if (a.kind == Kind::Zero) return {DefaultNaN, SoftInvalid};
    // The x87 reports the division by zero alone, even for a denormal dividend.
    return {Infinity(negative), SoftZeroDivide};
  }
  if (a.kind == Kind::Zero) return {Zero(negative), DenormalFlag(a, b)};
  // q = floor(n / divisor) in [2^63, 2^64), the remainder's 64 further quotient bits after it,
  // and what is left beyond those as the sticky bit.
  int32_t exponent = a.exponent - b.exponent;
  uint64_t high = a.significand >> 1;
  uint64_t low = a.significand << 63;
  if (a.significand < b.significand) {
    high = a.significand;
    low = 0;
    --exponent;
  }
  const uint64_t divisor = b.significand;
  uint64_t remainder;
  const uint64_t quotient = DivideWide(high, low, divisor, remainder);
  uint64_t further;
  if (exponent + Bias >= 1) {
    // A normal result (or an overflow) is rounded on the 64th bit: how the remainder compares
    // with half the divisor is all that matters, written as a fraction of the same standing.
    const uint64_t rest = divisor - remainder;
    further = remainder == 0      ? 0
              : remainder > rest  ? UINT64_C(0xC000000000000000)
              : remainder == rest ? HalfOf64
                                  : UINT64_C(0x4000000000000000);
  } else {
    // A tiny one is shifted onto the denormal grid first: 64 more quotient bits, and a sticky
    // bit for what is left.
    uint64_t left;
    further = DivideWide(remainder, 0, divisor, left);
    if (left != 0) further |= 1;
  }
  result = RoundPack(negative, exponent, (Uint128{quotient} << 64) | further);
  result.flags |= DenormalFlag(a, b);
  return result;
}

namespace {

SoftComparison Compare(SoftExtended ea, SoftExtended eb, bool quietNaNsInvalid) {
  const Unpacked a = Unpack(ea);
  const Unpacked b = Unpack(eb);
  if (a.kind == Kind::Unsupported || b.kind == Kind::Unsupported || a.kind == Kind::SignallingNaN ||
      b.kind == Kind::SignallingNaN) {
    return {SoftOrder::Unordered, SoftInvalid};
  }
  if (IsNaN(a) || IsNaN(b)) return {SoftOrder::Unordered, quietNaNsInvalid ? SoftInvalid : 0};
  const uint32_t flags = DenormalFlag(a, b);
  // A key that orders every non-NaN value: sign, then kind and magnitude.
  auto magnitudeLess = [](const Unpacked& x, const Unpacked& y) {
    // Both non-negative in meaning here.
    if (x.kind == Kind::Zero) return y.kind != Kind::Zero;
    if (y.kind == Kind::Zero) return false;
    if (x.kind == Kind::Infinity) return false;
    if (y.kind == Kind::Infinity) return true;
    if (x.exponent != y.exponent) return x.exponent < y.exponent;
    return x.significand < y.significand;
  };
  const bool aZero = a.kind == Kind::Zero;
  const bool bZero = b.kind == Kind::Zero;
  if (aZero && bZero) return {SoftOrder::Equal, flags};
  const bool aNegative = a.negative && !aZero;
  const bool bNegative = b.negative && !bZero;
  if (aNegative != bNegative) return {aNegative ? SoftOrder::Less : SoftOrder::Greater, flags};
  bool less = magnitudeLess(a, b);
  bool greater = magnitudeLess(b, a);
  if (aNegative) {
    const bool swap = less;
    less = greater;
    greater = swap;
  }
  if (less) return {SoftOrder::Less, flags};
  if (greater) return {SoftOrder::Greater, flags};
  return {SoftOrder::Equal, flags};
}

}  // namespace

SoftComparison SoftCompare(SoftExtended a, SoftExtended b) { return Compare(a, b, true); }
SoftComparison SoftCompareQuiet(SoftExtended a, SoftExtended b) { return Compare(a, b, false); }

SoftIntegerResult SoftRoundToInt64(SoftExtended ea) {
  constexpr int64_t Indefinite = INT64_MIN;
  const Unpacked a = Unpack(ea);
  if (a.kind == Kind::Zero) return {0, 0};
  if (a.kind != Kind::Finite) return {Indefinite, SoftInvalid};
  // A denormal operand is no denormal exception here: FISTP does not report it.
  if (a.exponent >= 64) return {Indefinite, SoftInvalid};
  uint64_t magnitude;
  uint64_t rest;
  if (a.exponent >= 0) {
    const int32_t fractionBits = 63 - a.exponent;
    magnitude = fractionBits == 0 ? a.significand : a.significand >> fractionBits;
    rest = fractionBits == 0 ? 0 : a.significand << (64 - fractionBits);
  } else {
    magnitude = 0;
    rest = ShiftRightSticky64(a.significand, -a.exponent - 1);
  }
  if (RoundsUp(magnitude, rest, HalfOf64)) {
    if (++magnitude == 0) return {Indefinite, SoftInvalid};
  }
  const uint64_t limit = a.negative ? UINT64_C(0x8000000000000000) : UINT64_C(0x7FFFFFFFFFFFFFFF);
  if (magnitude > limit) return {Indefinite, SoftInvalid};
  const int64_t value =
      a.negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return {value, rest != 0 ? SoftPrecision : 0};
}

SoftResult SoftFromDouble(double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int32_t field = static_cast<int32_t>((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & UINT64_C(0xFFFFFFFFFFFFF);
  if (field == 0) {
    if (fraction == 0) return {Zero(negative), 0};
    const int shift = std::countl_zero(fraction);
    // fraction * 2^-1074, normalised; every double denormal is a normal extended.
    const int32_t exponent = -1074 + 63 - shift;
    return {Pack(negative, static_cast<uint16_t>(exponent + Bias), fraction << shift),
            SoftDenormal};
  }
  if (field == 0x7FF) {
    if (fraction == 0) return {Infinity(negative), 0};
    const uint64_t significand = IntegerBit | (fraction << 11);
    if ((significand & QuietBit) == 0) {
      return {Pack(negative, ExponentMask, significand | QuietBit), SoftInvalid};
    }
    return {Pack(negative, ExponentMask, significand), 0};
  }
  return {Pack(negative, static_cast<uint16_t>(field - 1023 + Bias), IntegerBit | (fraction << 11)),
          0};
}

SoftDoubleResult SoftToDouble(SoftExtended ea) {
  constexpr uint64_t DoubleSign = UINT64_C(0x8000000000000000);
  constexpr uint64_t DoubleInfinity = UINT64_C(0x7FF0000000000000);
  constexpr uint64_t DoubleQuiet = UINT64_C(0x0008000000000000);
  constexpr uint64_t FractionMask = UINT64_C(0xFFFFFFFFFFFFF);
  const Unpacked a = Unpack(ea);
  const uint64_t sign = a.negative ? DoubleSign : 0;
  auto result = [](uint64_t bits, uint32_t flags) {
    return SoftDoubleResult{std::bit_cast<double>(bits), flags};
  };
  switch (a.kind) {
    case Kind::Zero:
      return result(sign, 0);
    case Kind::Infinity:
      return result(sign | DoubleInfinity, 0);
    case Kind::Unsupported:
      return result(DoubleSign | DoubleInfinity | DoubleQuiet, SoftInvalid);
    case Kind::QuietNaN:
    case Kind::SignallingNaN: {
      // The payload's top bits are kept and the rest cut off, not rounded.
      const uint64_t fraction = ((a.significand >> 11) & FractionMask) | DoubleQuiet;
      return result(sign | DoubleInfinity | fraction,
                    a.kind == Kind::SignallingNaN ? SoftInvalid : 0);
    }
    case Kind::Finite:
      break;
  }
  // No denormal exception here: the x87 does not report a denormal source of a store. A denormal
  // extended is far below the double's range and gives zero, inexact and underflowing.
  const int32_t biased = a.exponent + 1023;
  uint64_t kept = a.significand >> 11;
  uint64_t rest = (a.significand & 0x7FF) << 53;
  int32_t roundedExponent = biased;
  if (RoundsUp(kept, rest, HalfOf64)) {
    if (++kept == (UINT64_C(1) << 53)) {
      kept >>= 1;
      ++roundedExponent;
    }
  }
  if (roundedExponent >= 0x7FF) return result(sign | DoubleInfinity, SoftOverflow | SoftPrecision);
  if (roundedExponent >= 1) {
    return result(sign | (static_cast<uint64_t>(roundedExponent) << 52) | (kept & FractionMask),
                  rest != 0 ? SoftPrecision : 0);
  }
  // Tiny after rounding: once more, on the denormal grid of the double.
  const uint64_t shifted = ShiftRightSticky64(a.significand, 1 - biased);
  kept = shifted >> 11;
  rest = (shifted & 0x7FF) << 53;
  if (RoundsUp(kept, rest, HalfOf64)) ++kept;  // a carry into bit 52 is the smallest normal
  return result(sign | kept, SoftTiny | (rest != 0 ? SoftUnderflow | SoftPrecision : 0));
}

SoftResult SoftFromBinary128(uint64_t high, uint64_t low) {
  const bool negative = (high >> 63) != 0;
  const int32_t field = static_cast<int32_t>((high >> 48) & 0x7FFF);
  const uint64_t fractionHigh = high & UINT64_C(0xFFFFFFFFFFFF);
  // The 112 fraction bits, from bit 126 down (bit 127 is the integer bit).
  const Uint128 fraction = ((Uint128{fractionHigh} << 64) | low) << 15;
  if (field == 0x7FFF) {
    if (fraction == 0) return {Infinity(negative), 0};
    return {Pack(negative, ExponentMask, IntegerBit | static_cast<uint64_t>(fraction >> 64)), 0};
  }
  if (field == 0) {
    if (fraction == 0) return {Zero(negative), 0};
    const int shift = LeadingZeros128(fraction);
    return RoundPack(negative, 1 - Bias - shift, fraction << shift);
  }
  return RoundPack(negative, field - Bias, (Uint128{1} << 127) | fraction);
}
