// The extended real on the x87: long double, whose arithmetic the compiler gives to the x87, and
// the few instructions that handle the unit's control word, its pending faults and the stores
// that round.
//
// An unmasked x87 exception stays pending until the next waiting x87 instruction. Every
// operation whose fault must surface at once is followed by FWAIT (see CheckedResult and
// StoreToDouble), so nothing after the failing instruction runs first.
#pragma once

#include <cfloat>
#include <cstdint>

static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && sizeof(long double) >= 10,
              "the x87 arithmetic needs long double to be the 80-bit x87 extended format");
#if !defined(__x86_64__) && !defined(__i386__)
#error "the x87 arithmetic needs an x87 floating-point unit: build the software one instead"
#endif

// The extended real: sign, 15-bit exponent biased by 16383, 64-bit significand with explicit
// integer bit.
using Extended = long double;

// Loads a control word. Pending exception flags are cleared first, so that unmasking a flag that
// an earlier masked operation left set cannot fault later at an unrelated instruction.
inline void LoadFpuControlWord(uint16_t controlWord) {
  asm volatile("fnclex\n\tfldcw %0" : : "m"(controlWord) : "memory");
}

inline uint16_t ReadFpuControlWord() {
  uint16_t controlWord;
  asm volatile("fnstcw %0" : "=m"(controlWord) : : "memory");
  return controlWord;
}

inline uint16_t ReadFpuStatusWord() {
  uint16_t statusWord;
  asm volatile("fnstsw %0" : "=m"(statusWord) : : "memory");
  return statusWord;
}

// FNINIT (empty register stack, cleared status and pending faults), then DefaultFpuControlWord.
inline void ResetFpu() {
  asm volatile("fninit\n\tfldcw %0" : : "m"(DefaultFpuControlWord) : "memory");
}

// Makes a pending x87 fault of the operation that produced `value` surface here. The value is tied
// to the instruction, so the compiler cannot move the operation past it.
inline Extended CheckedResult(Extended value) {
  asm volatile("fwait" : "+t"(value) : : "memory");
  return value;
}

// Makes any fault still pending in the unit surface here (FWAIT).
inline void WaitForPendingFaults() { asm volatile("fwait" ::: "memory"); }

// Rounds an extended to a double the way a store does (FSTP m64 under the current control word),
// and makes an overflow of that store fault at once.
inline double StoreToDouble(Extended value) {
  double stored;
  asm volatile("fstpl %0\n\tfwait" : "=m"(stored) : "t"(value) : "st", "memory");
  return stored;
}

// An extended rounded to an integer under the control word (to nearest, ties to even) and stored
// as one: FISTP rounds as FRNDINT would. Values beyond the 64-bit range are invalid operations.
inline int64_t RoundToInt64(Extended value) {
  int64_t result;
  asm("fistpll %0" : "=m"(result) : "t"(value) : "st");
  return result;
}

inline Extended Abs(Extended value) { return __builtin_fabsl(value); }

inline constexpr Extended PositiveInfinity() { return __builtin_infl(); }
