// The x87 itself, as the reference for the software extended real: each operation runs on the
// unit under a given control word, on operands loaded as they are (FLD m80 changes no bits), and
// the exception flags are read from the status word without waiting (FNSTSW) and cleared before
// anything else runs, so that an unmasked exception shows as a flag and never traps.
//
// Shared by the differential unit test and the fuzz target; x86 only.
#pragma once

#include <cstdint>

#include "numconv/soft_extended.h"

namespace x87ref {

// Every exception masked, 64-bit precision, round to nearest: the flags the software reports.
inline constexpr uint16_t AllMasked = 0x133F;

struct Outcome {
  SoftExtended value;  // what the unit left (meaningless where an unmasked exception stopped it)
  uint16_t status;     // the exception flags, low six bits of the status word
};

struct Image {
  uint64_t significand;
  uint16_t signExponent;
  uint16_t padding[3];
};

inline Image ImageOf(SoftExtended v) { return {v.significand, v.signExponent, {0, 0, 0}}; }
inline SoftExtended ValueOf(const Image& image) { return {image.significand, image.signExponent}; }

// The whole register stack: each operation starts from an empty unit (FNINIT) and leaves it empty,
// since an operation stopped by an unmasked exception does not pop its operands.
#define X87_STACK "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)"

enum class Operation : uint8_t { Add, Subtract, Multiply, Divide };

// a op b, a in st(1) and b in st(0). (In the assembler's syntax "fsubrp" and "fdivrp" without
// operands compute st(1) - st(0) and st(1) / st(0).)
#define FRAMECALC_X87_BINARY(instruction)                                              \
  asm volatile("fninit\n\tfldcw %[cw]\n\tfldt %[a]\n\tfldt %[b]\n\t" instruction       \
               "\n\tfnstsw %[sw]\n\tfnclex\n\tfstpt %[r]\n\tfninit\n\tfldcw %[masked]" \
               : [r] "=m"(result), [sw] "=m"(status)                                   \
               : [a] "m"(ia), [b] "m"(ib), [cw] "m"(controlWord), [masked] "m"(masked) \
               : X87_STACK, "memory")

inline Outcome Binary(Operation operation, SoftExtended a, SoftExtended b, uint16_t controlWord) {
  const Image ia = ImageOf(a);
  const Image ib = ImageOf(b);
  const uint16_t masked = AllMasked;
  Image result{};
  uint16_t status = 0;
  switch (operation) {
    case Operation::Add:
      FRAMECALC_X87_BINARY("faddp");
      break;
    case Operation::Subtract:
      FRAMECALC_X87_BINARY("fsubrp");
      break;
    case Operation::Multiply:
      FRAMECALC_X87_BINARY("fmulp");
      break;
    case Operation::Divide:
      FRAMECALC_X87_BINARY("fdivrp");
      break;
  }
  return {ValueOf(result), static_cast<uint16_t>(status & 0x3F)};
}
#undef FRAMECALC_X87_BINARY

struct CompareOutcome {
  SoftOrder order;
  uint16_t status;
};

// FCOMI (quiet = false) or FUCOMI (quiet = true) of a against b.
inline CompareOutcome Compare(SoftExtended a, SoftExtended b, bool quiet, uint16_t controlWord) {
  const Image ia = ImageOf(a);
  const Image ib = ImageOf(b);
  const uint16_t masked = AllMasked;
  uint16_t status = 0;
  uint8_t below = 0, equal = 0, unordered = 0;
  if (quiet) {
    asm volatile(
        "fninit\n\tfldcw %[cw]\n\tfldt %[b]\n\tfldt %[a]\n\tfucomip %%st(1), %%st\n\t"
        "fnstsw %[sw]\n\tfninit\n\tfldcw %[masked]\n\t"
        "setb %[below]\n\tsete %[equal]\n\tsetp %[unordered]"
        : [sw] "=m"(status), [below] "=q"(below), [equal] "=q"(equal), [unordered] "=q"(unordered)
        : [a] "m"(ia), [b] "m"(ib), [cw] "m"(controlWord), [masked] "m"(masked)
        : X87_STACK, "cc", "memory");
  } else {
    asm volatile(
        "fninit\n\tfldcw %[cw]\n\tfldt %[b]\n\tfldt %[a]\n\tfcomip %%st(1), %%st\n\t"
        "fnstsw %[sw]\n\tfninit\n\tfldcw %[masked]\n\t"
        "setb %[below]\n\tsete %[equal]\n\tsetp %[unordered]"
        : [sw] "=m"(status), [below] "=q"(below), [equal] "=q"(equal), [unordered] "=q"(unordered)
        : [a] "m"(ia), [b] "m"(ib), [cw] "m"(controlWord), [masked] "m"(masked)
        : X87_STACK, "cc", "memory");
  }
  SoftOrder order = SoftOrder::Greater;
  if (unordered) {
    order = SoftOrder::Unordered;
  } else if (equal) {
    order = SoftOrder::Equal;
  } else if (below) {
    order = SoftOrder::Less;
  }
  return {order, static_cast<uint16_t>(status & 0x3F)};
}

struct IntegerOutcome {
  int64_t value;
  uint16_t status;
};

// FISTP m64: rounded under the control word's rounding (to nearest here).
inline IntegerOutcome RoundToInt64(SoftExtended a, uint16_t controlWord) {
  const Image ia = ImageOf(a);
  const uint16_t masked = AllMasked;
  int64_t value = 0;
  uint16_t status = 0;
  asm volatile(
      "fninit\n\tfldcw %[cw]\n\tfldt %[a]\n\tfistpll %[r]\n\t"
      "fnstsw %[sw]\n\tfninit\n\tfldcw %[masked]"
      : [r] "=m"(value), [sw] "=m"(status)
      : [a] "m"(ia), [cw] "m"(controlWord), [masked] "m"(masked)
      : X87_STACK, "memory");
  return {value, static_cast<uint16_t>(status & 0x3F)};
}

struct DoubleOutcome {
  uint64_t bits;
  uint16_t status;
};

// FST m64.
inline DoubleOutcome ToDouble(SoftExtended a, uint16_t controlWord) {
  const Image ia = ImageOf(a);
  const uint16_t masked = AllMasked;
  uint64_t bits = 0;
  uint16_t status = 0;
  asm volatile(
      "fninit\n\tfldcw %[cw]\n\tfldt %[a]\n\tfstpl %[r]\n\t"
      "fnstsw %[sw]\n\tfninit\n\tfldcw %[masked]"
      : [r] "=m"(bits), [sw] "=m"(status)
      : [a] "m"(ia), [cw] "m"(controlWord), [masked] "m"(masked)
      : X87_STACK, "memory");
  return {bits, static_cast<uint16_t>(status & 0x3F)};
}

// FLD m64.
inline Outcome FromDouble(uint64_t bits, uint16_t controlWord) {
  const uint16_t masked = AllMasked;
  Image result{};
  uint16_t status = 0;
  asm volatile(
      "fninit\n\tfldcw %[cw]\n\tfldl %[d]\n\t"
      "fnstsw %[sw]\n\tfnclex\n\tfstpt %[r]\n\tfninit\n\tfldcw %[masked]"
      : [r] "=m"(result), [sw] "=m"(status)
      : [d] "m"(bits), [cw] "m"(controlWord), [masked] "m"(masked)
      : X87_STACK, "memory");
  return {ValueOf(result), static_cast<uint16_t>(status & 0x3F)};
}

// FILD m64: exact.
inline SoftExtended FromInt64(int64_t value) {
  Image result{};
  asm volatile("fildll %[v]\n\tfstpt %[r]"
               : [r] "=m"(result)
               : [v] "m"(value)
               : X87_STACK, "memory");
  return ValueOf(result);
}

// The status that an unmasked exception faults with: the lowest flag not masked, 0 for none.
inline uint16_t FaultingFlag(uint16_t flags, uint16_t controlWord) {
  const uint16_t unmasked = static_cast<uint16_t>(flags & ~controlWord & 0x3F);
  return static_cast<uint16_t>(unmasked & (0 - unmasked));
}

}  // namespace x87ref
