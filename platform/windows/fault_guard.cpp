// The fault guard's rules that do not depend on the processor: which exceptions it takes, the
// fault's record, and the guarded call of a C++ routine.
#include "fault_guard.h"

#include <malloc.h>

#include <cstring>
#include <exception>

#include "win32_api.h"

namespace platform::win32 {

bool IsGuardedFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_IN_PAGE_ERROR:
      return true;
    default:
      return false;
  }
}

namespace {

bool IsX87Fault(DWORD code) {
  return code >= EXCEPTION_FLT_DENORMAL_OPERAND && code <= EXCEPTION_FLT_UNDERFLOW;
}

// An x87 fault is reported by the next waiting instruction (the FWAIT after the operation); the
// unit keeps the address of the instruction that caused it. That one is the fault's address,
// when it lies just before the reporting one (as it does where an FWAIT follows every operation
// that may fault). Some systems give it as the exception address already.
uintptr_t CausingInstruction(uintptr_t reporting, uint64_t unitPointer) {
  constexpr uintptr_t Window = 64;
  const auto causing = static_cast<uintptr_t>(unitPointer);
  if (causing != 0 && causing <= reporting && reporting - causing < Window) return causing;
  return reporting;
}

}  // namespace

void TakeFault(GuardFrame& frame, const EXCEPTION_RECORD& record, uint64_t unitPointer) {
  std::memcpy(frame.record, &record, sizeof record);
  frame.record->ExceptionRecord = nullptr;
  if (IsX87Fault(record.ExceptionCode)) {
    frame.record->ExceptionAddress = reinterpret_cast<void*>(
        CausingInstruction(reinterpret_cast<uintptr_t>(record.ExceptionAddress), unitPointer));
  }
  frame.faulted = true;
  frame.stackOverflow = record.ExceptionCode == EXCEPTION_STACK_OVERFLOW;
}

namespace {

struct GuardedCall {
  void (*routine)(void*);
  void* context;
  std::exception_ptr thrown;
};

// A C++ exception must not unwind through GuardCall (the frame of the chain would be left
// linked): it is caught here and thrown again once the guard has returned.
void Trampoline(void* argument) {
  auto* call = static_cast<GuardedCall*>(argument);
  try {
    call->routine(call->context);
  } catch (...) {
    call->thrown = std::current_exception();
  }
}

}  // namespace

bool CallWithFrameHandler(void (*routine)(void*), void* context, void* record, size_t recordSize) {
  // The caller's record is the same structure, declared without windows.h.
  if (recordSize != sizeof(EXCEPTION_RECORD)) std::terminate();
  GuardFrame frame;
  PrepareGuardFrame(frame, static_cast<EXCEPTION_RECORD*>(record));
  GuardedCall call{routine, context, nullptr};
  const int returned = GuardCall(&frame, &Trampoline, &call);
  if (returned == 0 && frame.stackOverflow) {
    // The guard page below the stack was used up by the overflow: set it again, so that the
    // next overflow is reported too rather than ending the process.
    _resetstkoflw();
  }
  if (call.thrown) std::rethrow_exception(call.thrown);
  return returned != 0;
}

}  // namespace platform::win32
