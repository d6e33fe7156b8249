// Faults of the WebAssembly module: the software extended arithmetic's floating-point faults, the
// only faults that code in the module raises. WebAssembly has no signals, and the module catches
// nothing (it is built without exceptions): both halves live in the JavaScript that instantiates
// it, as two imported functions of the module "framecalc_platform".
//
//   raise_fault(status, address)    throws a JavaScript exception that carries `status`;
//   call_guarded(routine, context)  calls the function at index `routine` of the module's exported
//                                   table with `context`; returns 0 when it came back, or the
//                                   status of the fault that it raised. Before it returns after a
//                                   fault it sets the module's exported __stack_pointer back to
//                                   the value that it had before the call.
//
// The throw leaves the module's frames between the fault and the guard as a platform unwind
// would: no destructor runs on the way (faults.h says the same of every backend), and the C stack
// that those frames held is given back by resetting the stack pointer. Code that runs under a
// guard keeps what it must not lose in objects outside those frames.
#include "platform/faults.h"

#include <cstdint>

extern "C" {

[[noreturn]] __attribute__((import_module("framecalc_platform"), import_name("raise_fault"))) void
framecalc_platform_raise_fault(uint32_t status, const void* address);

__attribute__((import_module("framecalc_platform"), import_name("call_guarded"))) uint32_t
framecalc_platform_call_guarded(void (*routine)(void* context), void* context);

}  // extern "C"

namespace platform {

bool CallWithFaultGuard(void (*routine)(void* context), void* context, EXCEPTION_RECORD& fault) {
  const uint32_t status = framecalc_platform_call_guarded(routine, context);
  if (status == 0) return true;
  fault = EXCEPTION_RECORD{};
  fault.ExceptionCode = status;
  fault.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
  return false;
}

void RaiseFloatingPointFault(DWORD status, const void* address) {
  framecalc_platform_raise_fault(status, address);
}

}  // namespace platform
