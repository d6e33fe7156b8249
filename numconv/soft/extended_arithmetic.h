// The extended real in software, for targets without an x87: a class with the arithmetic of
// long double on the x87 (numconv/soft_extended.h computes it), and a control word and status
// word of its own that behave as the unit's do.
//
// Each operation rounds as the x87 under the control word's precision and rounding (64 bits, to
// nearest: the program never changes them) and checks its exception flags against the control
// word's masks at once: an unmasked invalid operation, division by zero or overflow (or any other
// exception a changed control word unmasks) is raised as the platform's floating-point fault, at
// the address just after the call of the operation in the code that asked for it.
#pragma once

#include <bit>
#include <cfloat>
#include <concepts>
#include <cstddef>
#include <cstdint>

#include "numconv/soft_extended.h"
#include "numconv/widened_double.h"

// A double that is zero, denormal, infinite or a NaN, widened (FLD m64) and checked against the
// control word: the return address of this call is the address of a fault.
[[gnu::noinline]] SoftExtended WidenedSpecialDouble(double value);

class Extended {
 public:
  // Uninitialised, as a long double would be.
  Extended() = default;
  // Integers convert exactly (FILD).
  template <std::integral T>
  constexpr Extended(T value)  // NOLINT: converts implicitly, as to long double
      : bits(std::is_signed_v<T> ? SoftFromInt64(static_cast<int64_t>(value))
                                 : SoftFromUint64(static_cast<uint64_t>(value))) {}
  // A double widens exactly (FLD m64); a denormal double is a denormal operand and a signalling
  // NaN an invalid operation, under the control word's masks.
  Extended(double value) {  // NOLINT
    // A normal double widens without any exception: only the other classes need the full
    // conversion, with its check against the control word.
    const uint64_t image = std::bit_cast<uint64_t>(value);
    if (IsNormalDouble(image)) [[likely]] {
      const WidenedDouble widened = WidenNormalDouble(image);
      bits = {widened.significand, widened.signExponent};
    } else {
      bits = WidenedSpecialDouble(value);
    }
  }
  // The target's long double: exact where it is the x87 format, rounded to the 64-bit significand
  // where it is IEEE binary128. For tests and tools that write their values as long double
  // literals; the program's own code never uses it.
  Extended(long double value);  // NOLINT
  explicit constexpr Extended(SoftExtended value) : bits(value) {}
  // Copied from and to volatile objects (templates, so that the class stays trivially copyable).
  template <class V>
  requires std::same_as<V, volatile Extended> || std::same_as<V, const volatile Extended> Extended(
      V& other)
      : bits{other.bits.significand, other.bits.signExponent} {}  // NOLINT
  template <class T>
  requires std::same_as<T, Extended>
  void operator=(const T& other) volatile {
    bits.significand = other.bits.significand;
    bits.signExponent = other.bits.signExponent;
  }
  // To a double as a store rounds it (StoreToDouble), as the cast of a long double would.
  explicit operator double() const;

  SoftExtended bits;
};

// The memory image is the x87's: the significand's 8 bytes, then the sign and exponent word.
static_assert(offsetof(Extended, bits) == 0 && offsetof(SoftExtended, significand) == 0 &&
              offsetof(SoftExtended, signExponent) == 8);

constexpr Extended ExtendedConstant(uint16_t signExponent, uint64_t significand) {
  return Extended(SoftExtended{significand, signExponent});
}

Extended operator+(Extended a, Extended b);
Extended operator-(Extended a, Extended b);
Extended operator*(Extended a, Extended b);
Extended operator/(Extended a, Extended b);
// FCHS: the sign bit alone, never an exception.
constexpr Extended operator-(Extended a) { return Extended(SoftNegate(a.bits)); }

// <, <=, > and >= compare as FCOMI (a NaN is an invalid operation); == and != as FUCOMI (only a
// signalling NaN is), as the compiler's long double comparisons on the x87.
bool operator<(Extended a, Extended b);
bool operator<=(Extended a, Extended b);
bool operator>(Extended a, Extended b);
bool operator>=(Extended a, Extended b);
bool operator==(Extended a, Extended b);
bool operator!=(Extended a, Extended b);

// The control word and status word of the calling thread, as the x87 keeps them per thread: the
// control word starts as the x87's after FNINIT (all exceptions masked).
extern thread_local uint16_t SoftControlWord;
extern thread_local uint16_t SoftStatusWord;

// As the x87 keeps it: bits 13 to 15 and 7 read back as 0, the reserved bit 6 as 1.
inline void LoadFpuControlWord(uint16_t controlWord) {
  SoftStatusWord = 0;
  SoftControlWord = static_cast<uint16_t>((controlWord & 0x1F3F) | 0x0040);
}

inline uint16_t ReadFpuControlWord() { return SoftControlWord; }

inline uint16_t ReadFpuStatusWord() { return SoftStatusWord; }

inline void ResetFpu() { LoadFpuControlWord(DefaultFpuControlWord); }

// Every operation has raised its fault before it returned: nothing is pending.
inline Extended CheckedResult(Extended value) { return value; }

inline void WaitForPendingFaults() {}

// Rounded to a double as a store rounds (FST m64); an overflow faults here.
double StoreToDouble(Extended value);

// Rounded to an integer under the control word (to nearest, ties to even), as FISTP m64; a value
// beyond the 64-bit range is an invalid operation.
int64_t RoundToInt64(Extended value);

constexpr Extended Abs(Extended value) { return Extended(SoftAbs(value.bits)); }

constexpr Extended PositiveInfinity() {
  return ExtendedConstant(0x7FFF, UINT64_C(0x8000000000000000));
}
