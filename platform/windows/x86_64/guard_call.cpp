// The fault guard on x86-64: GuardCall saves every callee-saved register around the call of its
// routine, and GuardHandler, attached to GuardCall's unwind information, resumes a taken fault
// at the guard.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "fault_guard.h"

using namespace platform::win32;

// int GuardCall(GuardFrame* frame, void (*trampoline)(void*), void* argument)
// Saves every callee-saved register in its frame; GuardHandler resumes at GuardLanding with the
// stack pointer of the guard's body, whose epilogue restores them.
asm(R"(
  .text
  .globl GuardCall
  .globl GuardLanding
  .globl GuardRaiseLanding
  .def GuardCall; .scl 2; .type 32; .endef
  .seh_proc GuardCall
GuardCall:
  pushq %rbp
  .seh_pushreg %rbp
  pushq %rbx
  .seh_pushreg %rbx
  pushq %rsi
  .seh_pushreg %rsi
  pushq %rdi
  .seh_pushreg %rdi
  pushq %r12
  .seh_pushreg %r12
  pushq %r13
  .seh_pushreg %r13
  pushq %r14
  .seh_pushreg %r14
  pushq %r15
  .seh_pushreg %r15
  subq $200, %rsp
  .seh_stackalloc 200
  movaps %xmm6, 32(%rsp)
  .seh_savexmm %xmm6, 32
  movaps %xmm7, 48(%rsp)
  .seh_savexmm %xmm7, 48
  movaps %xmm8, 64(%rsp)
  .seh_savexmm %xmm8, 64
  movaps %xmm9, 80(%rsp)
  .seh_savexmm %xmm9, 80
  movaps %xmm10, 96(%rsp)
  .seh_savexmm %xmm10, 96
  movaps %xmm11, 112(%rsp)
  .seh_savexmm %xmm11, 112
  movaps %xmm12, 128(%rsp)
  .seh_savexmm %xmm12, 128
  movaps %xmm13, 144(%rsp)
  .seh_savexmm %xmm13, 144
  movaps %xmm14, 160(%rsp)
  .seh_savexmm %xmm14, 160
  movaps %xmm15, 176(%rsp)
  .seh_savexmm %xmm15, 176
  .seh_endprologue
  .seh_handler GuardHandler, @except
  movq %rcx, 192(%rsp)
  movq %rdx, %rax
  movq %r8, %rcx
  callq *%rax
  movl $1, %eax
  jmp 1f
GuardRaiseLanding:
  xorl %eax, %eax
  jmp 1f
GuardLanding:
  fninit
  xorl %eax, %eax
1:
  movaps 32(%rsp), %xmm6
  movaps 48(%rsp), %xmm7
  movaps 64(%rsp), %xmm8
  movaps 80(%rsp), %xmm9
  movaps 96(%rsp), %xmm10
  movaps 112(%rsp), %xmm11
  movaps 128(%rsp), %xmm12
  movaps 144(%rsp), %xmm13
  movaps 160(%rsp), %xmm14
  movaps 176(%rsp), %xmm15
  addq $200, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rdi
  popq %rsi
  popq %rbx
  popq %rbp
  ret
  .seh_endproc
)");

EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                   CONTEXT* context, void* dispatcherContext) {
  if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
    return ExceptionContinueSearch;
  }
  auto* frame = *reinterpret_cast<GuardFrame**>(static_cast<char*>(establisherFrame) + 192);
  if (record->ExceptionCode == RaisedObjectStatus && frame->takesRaised) {
    // Non-continuable: the system unwinds to the guard's frame (its callee-saved registers as
    // the guard's body had them) and goes on at the landing for a raised object.
    frame->faulted = true;
    auto* dispatcher = static_cast<DISPATCHER_CONTEXT*>(dispatcherContext);
    RtlUnwindEx(establisherFrame, reinterpret_cast<void*>(&GuardRaiseLanding), record, nullptr,
                dispatcher->ContextRecord, dispatcher->HistoryTable);
  }
  if (!IsGuardedFault(record->ExceptionCode)) return ExceptionContinueSearch;
  // The unit's 64-bit instruction pointer, as the 64-bit save format holds it; if the high half
  // is not there, the causing instruction is in the same 4 GiB as the reporting one.
  const uint64_t reporting = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
  uint64_t unitPointer = context->FltSave.ErrorOffset |
                         (uint64_t{context->FltSave.ErrorSelector} << 32) |
                         (uint64_t{context->FltSave.Reserved2} << 48);
  if (unitPointer > reporting || reporting - unitPointer >= 64) {
    unitPointer = (reporting & ~uint64_t{0xFFFFFFFF}) | context->FltSave.ErrorOffset;
  }
  TakeFault(*frame, *record, unitPointer);
  context->FltSave.ControlWord = 0x037F;
  context->FltSave.StatusWord = 0;
  context->FltSave.TagWord = 0;  // the abridged tag word: every register empty
  context->Rsp = reinterpret_cast<DWORD64>(establisherFrame);
  context->Rip = reinterpret_cast<DWORD64>(&GuardLanding);
  return ExceptionContinueExecution;
}

namespace platform::win32 {

void PrepareGuardFrame(GuardFrame& frame, EXCEPTION_RECORD* record) {
  std::memset(&frame, 0, sizeof frame);
  frame.record = record;
}

}  // namespace platform::win32
