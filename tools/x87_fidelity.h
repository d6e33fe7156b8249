// Two details of the x87 that some tests rely on and that an emulated x87 may not keep:
//
// - The control word's bit 6 is reserved and reads back as 1 whatever was loaded: the program's
//   0x1332 reads back as 0x1372.
// - The unit keeps the address of the last x87 instruction it ran (the last-instruction pointer,
//   FIP). A system reports an x87 fault at that address (Windows and Wine take the exception
//   address from it), so a fault report names the faulting instruction only where it is kept.
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

inline Finding ProbeInstructionPointer() {
  unsigned char environment[28] = {};
  uint16_t saved = 0;
  uintptr_t instruction = 0;
  // FNSTENV in its 32-bit form (also in 64-bit mode): the last-instruction pointer's offset is
  // the fourth 32-bit word.
  asm volatile(
      "fnstcw %2\n\t"
      "fninit\n\t"
      "1: fld1\n\t"
      "fnstenv %1\n\t"
      "fninit\n\t"
      "fldcw %2\n\t"
#if defined(__x86_64__)
      "leaq 1b(%%rip), %0"
#else
      "movl $1b, %0"
#endif
      : "=r"(instruction), "=m"(environment), "+m"(saved)
      :
      : "memory");
  const uint32_t kept = static_cast<uint32_t>(environment[12]) |
                        static_cast<uint32_t>(environment[13]) << 8 |
                        static_cast<uint32_t>(environment[14]) << 16 |
                        static_cast<uint32_t>(environment[15]) << 24;
  const auto expected = static_cast<uint32_t>(instruction);
  char text[240];
  if (kept == expected) {
    std::snprintf(text, sizeof text,
                  "the x87 keeps the address of its last instruction (%08lX), where the system "
                  "takes an x87 fault's address from",
                  static_cast<unsigned long>(kept));
  } else {
    std::snprintf(text, sizeof text,
                  "this x87 does not keep the address of its last instruction: it reads %08lX "
                  "after an instruction at %08lX (an emulated x87), so the system reports x87 "
                  "faults at a wrong address",
                  static_cast<unsigned long>(kept), static_cast<unsigned long>(expected));
  }
  return {kept == expected, text};
}

}  // namespace x87fidelity
