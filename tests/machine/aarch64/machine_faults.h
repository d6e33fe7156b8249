// Faults of the processor itself for the tests, in its own assembly so that neither the compiler
// nor a sanitizer steps in: aarch64.
//
// aarch64 never traps an integer division (a quotient by zero is 0), so the arithmetic fault here
// is the software extended arithmetic's division by zero, raised as the platform's fault. Nor does
// it tell a privileged instruction from an undefined one: both are SIGILL with ILL_ILLOPC.
#pragma once

#include <cstdint>

#include "numconv/fpu_control.h"
#include "platform/faults.h"

namespace machine_faults {

inline constexpr platform::DWORD ArithmeticFaultStatus = platform::EXCEPTION_FLT_DIVIDE_BY_ZERO;

[[gnu::noinline]] inline int ArithmeticFault() {
  const uint16_t saved = ReadFpuControlWord();
  LoadFpuControlWord(0x1332);
  volatile Extended one = 1;
  volatile Extended zero = 0;
  volatile Extended quotient = Extended(one) / Extended(zero);
  LoadFpuControlWord(saved);
  return Extended(quotient) == Extended(0) ? 0 : 1;
}

[[gnu::noinline]] inline int ReadFrom(uintptr_t address) {
  int value;
  asm volatile("ldr %w0, [%1]" : "=r"(value) : "r"(address) : "memory");
  return value;
}

[[gnu::noinline]] inline void WriteTo(uintptr_t address) {
  asm volatile("str wzr, [%0]" : : "r"(address) : "memory");
}

inline void IllegalInstruction() { asm volatile("udf #0"); }

// What is privileged on x86-64 (hlt) is merely undefined here.
inline void PrivilegedInstruction() { asm volatile("udf #1"); }

}  // namespace machine_faults
