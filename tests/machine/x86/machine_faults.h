// Faults of the processor itself for the tests, in its own assembly so that neither the compiler
// nor a sanitizer steps in: x86 (32 and 64 bits).
#pragma once

#include <cstdint>

#include "platform/faults.h"

namespace machine_faults {

// An arithmetic fault of the processor: x86 traps an integer division by zero.
inline constexpr platform::DWORD ArithmeticFaultStatus = platform::EXCEPTION_INT_DIVIDE_BY_ZERO;

[[gnu::noinline]] inline int ArithmeticFault() {
  int quotient;
  asm volatile("xorl %%ecx, %%ecx\n\tmovl $1, %%eax\n\tcltd\n\tidivl %%ecx"
               : "=a"(quotient)
               :
               : "ecx", "edx");
  return quotient;
}

[[gnu::noinline]] inline int ReadFrom(uintptr_t address) {
  int value;
  asm volatile("movl (%1), %0" : "=r"(value) : "r"(address) : "memory");
  return value;
}

[[gnu::noinline]] inline void WriteTo(uintptr_t address) {
  asm volatile("movl $1, (%0)" : : "r"(address) : "memory");
}

inline void IllegalInstruction() { asm volatile("ud2"); }

// An instruction that only the kernel may run.
inline void PrivilegedInstruction() { asm volatile("hlt"); }

}  // namespace machine_faults
