// The fault guard on 32-bit x86: GuardCall links its frame into the chain at fs:[0] around the
// call of its routine, and GuardHandler, the frame's handler, resumes a taken fault at the guard.
#include <windows.h>

#include <cstring>

#include "fault_guard.h"

using namespace platform::win32;

extern "C" [[noreturn]] void GuardResume(GuardFrame* frame);

// int GuardCall(GuardFrame* frame, void (*trampoline)(void*), void* argument)
// Links the frame into the chain at fs:[0], calls trampoline(argument), unlinks it and returns
// 1; GuardHandler resumes at GuardLanding with esp and ebp as saved, which unlinks and returns 0.
asm(R"(
  .text
  .globl _GuardCall
  .globl _GuardLanding
  .globl _GuardRaiseLanding
  .globl _GuardResume
  .def _GuardCall; .scl 2; .type 32; .endef
_GuardCall:
  pushl %ebp
  movl %esp, %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  movl 8(%ebp), %eax
  movl %esp, 8(%eax)
  movl %ebp, 12(%eax)
  movl %fs:0, %ecx
  movl %ecx, (%eax)
  movl %eax, %fs:0
  pushl 16(%ebp)
  call *12(%ebp)
  addl $4, %esp
  movl 8(%ebp), %eax
  movl (%eax), %ecx
  movl %ecx, %fs:0
  movl $1, %eax
  jmp 1f
_GuardRaiseLanding:
  movl 8(%ebp), %eax
  movl (%eax), %ecx
  movl %ecx, %fs:0
  xorl %eax, %eax
  jmp 1f
_GuardLanding:
  fninit
  movl 8(%ebp), %eax
  movl (%eax), %ecx
  movl %ecx, %fs:0
  xorl %eax, %eax
1:
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret

# void GuardResume(GuardFrame* frame): back into GuardCall with the stack and frame it had when it
# called the routine, at the landing for a raised object (the frame is still linked at fs:[0]).
  .def _GuardResume; .scl 2; .type 32; .endef
_GuardResume:
  movl 4(%esp), %eax
  movl 8(%eax), %esp
  movl 12(%eax), %ebp
  jmp _GuardRaiseLanding
)");

EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                   CONTEXT* context, void*) {
  if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
    return ExceptionContinueSearch;
  }
  auto* frame = static_cast<GuardFrame*>(establisherFrame);
  if (record->ExceptionCode == RaisedObjectStatus && frame->takesRaised) {
    // Non-continuable: the frames above (the dispatcher's own) are unwound and the guard goes on
    // at its landing for a raised object.
    frame->faulted = true;
    RtlUnwind(establisherFrame, nullptr, record, nullptr);
    GuardResume(frame);
  }
  if (!IsGuardedFault(record->ExceptionCode)) return ExceptionContinueSearch;
  TakeFault(*frame, *record, context->FloatSave.ErrorOffset);
  // The x87 state that the system restores on resuming: empty, all exceptions masked, nothing
  // pending (a pending exception would fault again at the next x87 instruction).
  context->FloatSave.ControlWord = 0x037F;
  context->FloatSave.StatusWord = 0;
  context->FloatSave.TagWord = 0xFFFF;
  context->Esp = static_cast<DWORD>(frame->savedStack);
  context->Ebp = static_cast<DWORD>(frame->savedBase);
  context->Eip = reinterpret_cast<DWORD>(&GuardLanding);
  return ExceptionContinueExecution;
}

namespace platform::win32 {

void PrepareGuardFrame(GuardFrame& frame, EXCEPTION_RECORD* record) {
  std::memset(&frame, 0, sizeof frame);
  frame.handler = reinterpret_cast<void*>(&GuardHandler);
  frame.record = record;
}

}  // namespace platform::win32
