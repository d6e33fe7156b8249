// What the fault handler reads from the machine state that a fault signal saved, on aarch64.
//
// There is no x87: the floating-point exceptions of the processor never trap, and the software
// extended arithmetic raises its own faults (RaiseFloatingPointFault). Nor is there a
// general-protection fault: an instruction that user code may not run is an undefined one
// (SIGILL).
#pragma once

#include <asm/sigcontext.h>
#include <csignal>
#include <cstdint>
#include <ucontext.h>

#include "platform/faults.h"

namespace platform::machine {

inline uintptr_t InstructionPointer(const ucontext_t& context) {
  return static_cast<uintptr_t>(context.uc_mcontext.pc);
}

inline uintptr_t StackPointer(const ucontext_t& context) {
  return static_cast<uintptr_t>(context.uc_mcontext.sp);
}

// The kernel saves the exception syndrome of a data abort among the records after the registers;
// its WnR bit (6) tells a write. Where that record is missing (qemu-user leaves it out), the
// faulting instruction tells: in the load and store class (bit 27 set, bit 25 clear) bit 22 is
// clear for the stores of registers and register pairs.
inline bool FaultWasWrite(const ucontext_t& context, uintptr_t target) {
  const auto* reserved = reinterpret_cast<const unsigned char*>(context.uc_mcontext.__reserved);
  const size_t size = sizeof context.uc_mcontext.__reserved;
  size_t offset = 0;
  while (offset + sizeof(_aarch64_ctx) <= size) {
    const auto* head = reinterpret_cast<const _aarch64_ctx*>(reserved + offset);
    if (head->magic == 0 || head->size == 0) break;
    if (head->magic == ESR_MAGIC) {
      return (reinterpret_cast<const esr_context*>(head)->esr & (UINT64_C(1) << 6)) != 0;
    }
    offset += head->size;
  }
  // A fetch from the address itself (a call through a null pointer) is a read.
  if (target == context.uc_mcontext.pc) return false;
  uint32_t instruction;
  __builtin_memcpy(&instruction, reinterpret_cast<const void*>(context.uc_mcontext.pc),
                   sizeof instruction);
  if ((instruction & 0x0A000000u) != 0x08000000u) return false;
  return (instruction & (1u << 22)) == 0;
}

inline DWORD FloatingPointFault(const ucontext_t&, uintptr_t&) { return 0; }

inline bool IsGeneralProtectionFault(int, const siginfo_t&) { return false; }

inline bool IsPrivilegedInstruction(const unsigned char*) { return false; }

}  // namespace platform::machine
