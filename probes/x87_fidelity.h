// Two details of the x87 that some tests rely on and that an emulated x87 may not keep:
//
// - The control word's bit 6 is reserved and reads back as 1 whatever was loaded: the program's
//   0x1332 reads back as 0x1372.
// - The unit keeps the address of the last x87 instruction it ran (the last-instruction pointer,
//   FIP), also in the state that FXSAVE stores. A system reports an x87 fault at that address
//   (Windows and Wine take the exception address from the saved state), so a fault report names
//   the faulting instruction only where it is kept.
//
// Each probe runs the instructions and answers whether this machine's x87 behaves so, with the
// finding in words. The machine's own state (control word, empty register stack) is given back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace x87fidelity {

struct Finding {
  bool faithful;
  std::string text;
};

inline Finding ProbeControlWord() {
  const uint16_t loaded = 0x1332;
  uint16_t saved = 0;
  uint16_t readBack = 0;
  asm volatile(
      "fnstcw %0\n\t"
      "fldcw %2\n\t"
      "fnstcw %1\n\t"
      "fldcw %0"
      : "=m"(saved), "=m"(readBack)
      : "m"(loaded)
      : "memory");
  const uint16_t expected = loaded | 0x0040;
  char text[200];
  if (readBack == expected) {
    std::snprintf(text, sizeof text,
                  "the x87 reads the control word %04X back as %04X (bit 6 reads as 1)", loaded,
                  readBack);
  } else {
    std::snprintf(text, sizeof text,
                  "this x87 reads the control word %04X back as %04X where an x87 reads %04X "
                  "(its reserved bit 6 is not kept as 1: an emulated x87)",
                  loaded, readBack, expected);
  }
  return {readBack == expected, text};
}

inline uint32_t Word32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The pointer as a system sees it when an x87 fault reaches it: a division by zero is left
// pending (nothing waits for it), and the unit's state is saved with FXSAVE, as the kernel saves
// it for the fault's handler (some processors keep the pointer in that image only while a fault
// is pending); FNSTENV is asked as well. Neither waits, so the fault is cleared, not taken.
inline Finding ProbeInstructionPointer() {
  alignas(16) unsigned char saved[512] = {};
  unsigned char environment[28] = {};
  uint16_t callerWord = 0;
  const uint16_t unmasked = 0x037B;  // only division by zero unmasked
  uintptr_t instruction = 0;
  asm volatile(
      "fnstcw %3\n\t"
      "fninit\n\t"
      "fldcw %4\n\t"
      "fldz\n\t"
      "fld1\n\t"
      "1: fdiv %%st(1), %%st\n\t"
      "fxsave %1\n\t"
      "fnstenv %2\n\t"
      "fnclex\n\t"
      "fninit\n\t"
      "fldcw %3\n\t"
#if defined(__x86_64__)
      "leaq 1b(%%rip), %0"
#else
      "movl $1b, %0"
#endif
      : "=r"(instruction), "=m"(saved), "=m"(environment), "+m"(callerWord)
      : "m"(unmasked)
      : "memory");
  // Both in their 32-bit forms (also in 64-bit mode): the offset of the last instruction is at
  // byte 8 of the FXSAVE image and in the fourth word of the environment.
  const uint32_t inSavedState = Word32(saved + 8);
  const uint32_t inEnvironment = Word32(environment + 12);
  const auto expected = static_cast<uint32_t>(instruction);
  char text[320];
  if (inSavedState == expected) {
    std::snprintf(text, sizeof text,
                  "the x87 keeps the address of a faulting instruction (%08lX) in its saved "
                  "state, where the system takes an x87 fault's address from",
                  static_cast<unsigned long>(expected));
  } else {
    std::snprintf(text, sizeof text,
                  "this x87 does not keep the address of its last instruction in its saved state: "
                  "FXSAVE gives %08lX after a division by zero at %08lX (FNSTENV gives %08lX), so "
                  "the system reports an x87 fault at address %08lX: an emulated x87",
                  static_cast<unsigned long>(inSavedState), static_cast<unsigned long>(expected),
                  static_cast<unsigned long>(inEnvironment),
                  static_cast<unsigned long>(inSavedState));
  }
  return {inSavedState == expected, text};
}

}  // namespace x87fidelity
