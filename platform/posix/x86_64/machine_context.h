// What the fault handler reads from the machine state that a fault signal saved, on x86-64.
#pragma once

#include <csignal>
#include <cstdint>
#include <ucontext.h>

#include "platform/faults.h"

namespace platform::machine {

inline uintptr_t InstructionPointer(const ucontext_t& context) {
  return static_cast<uintptr_t>(context.uc_mcontext.gregs[REG_RIP]);
}

inline uintptr_t StackPointer(const ucontext_t& context) {
  return static_cast<uintptr_t>(context.uc_mcontext.gregs[REG_RSP]);
}

// Bit 1 of the page-fault error code: the access was a write.
inline bool FaultWasWrite(const ucontext_t& context, uintptr_t) {
  return (context.uc_mcontext.gregs[REG_ERR] & 2) != 0;
}

// The x87 exception flags that are both raised and unmasked, lowest bit first, as statuses.
inline DWORD X87Status(uint16_t statusWord, uint16_t controlWord) {
  const unsigned unmasked = statusWord & ~controlWord & 0x3Fu;
  if (unmasked & 0x01u) {
    return (statusWord & 0x40u) ? EXCEPTION_FLT_STACK_CHECK : EXCEPTION_FLT_INVALID_OPERATION;
  }
  if (unmasked & 0x02u) return EXCEPTION_FLT_DENORMAL_OPERAND;
  if (unmasked & 0x04u) return EXCEPTION_FLT_DIVIDE_BY_ZERO;
  if (unmasked & 0x08u) return EXCEPTION_FLT_OVERFLOW;
  if (unmasked & 0x10u) return EXCEPTION_FLT_UNDERFLOW;
  if (unmasked & 0x20u) return EXCEPTION_FLT_INEXACT_RESULT;
  return 0;
}

// The status of an x87 fault from the saved unit (0 when it reports none), with the address of
// the instruction that caused it: the x87 reports a fault at the next waiting instruction, and
// the one that caused it is the unit's last instruction pointer.
inline DWORD FloatingPointFault(const ucontext_t& context, uintptr_t& address) {
  const auto* fpu = context.uc_mcontext.fpregs;
  if (fpu == nullptr) return 0;
  const DWORD status = X87Status(fpu->swd, fpu->cwd);
  if (status != 0 && fpu->rip != 0) address = static_cast<uintptr_t>(fpu->rip);
  return status;
}

// A general-protection fault: SIGSEGV from the kernel itself, with no target address.
inline bool IsGeneralProtectionFault(int signalNumber, const siginfo_t& info) {
  return signalNumber == SIGSEGV && info.si_code == SI_KERNEL;
}

// Whether a general-protection fault happened at one of the instructions that only the kernel
// may run: a privileged instruction, as Windows reports it.
inline bool IsPrivilegedInstruction(const unsigned char* code) {
  const unsigned char first = code[0];
  if (first == 0xF4 || first == 0xFA || first == 0xFB) return true;  // hlt, cli, sti
  if ((first >= 0xE4 && first <= 0xE7) || (first >= 0xEC && first <= 0xEF)) return true;  // in, out
  if (first == 0x0F) {
    const unsigned char second = code[1];
    return second == 0x01 || second == 0x06 || second == 0x08 || second == 0x09 || second == 0x20 ||
           second == 0x22 || second == 0x30 || second == 0x32;
  }
  return false;
}

}  // namespace platform::machine
