#include "baseruntime/raised_exception.h"

#include "numconv/fpu_control.h"

void RaiseObjectRecord(const void* object, const void* address) {
  platform::EXCEPTION_RECORD record{};
  record.ExceptionCode = ObjectExceptionStatus;
  record.ExceptionFlags = platform::EXCEPTION_NONCONTINUABLE;
  record.ExceptionAddress = const_cast<void*>(address);
  record.NumberParameters = ObjectExceptionParameterCount;
  record.ExceptionInformation[0] = reinterpret_cast<uintptr_t>(address);
  record.ExceptionInformation[1] = reinterpret_cast<uintptr_t>(object);
  // The platform's dispatch sees it first (a debugger, vectored handlers); then it travels as
  // the C++ exception that the outermost frame catches.
  platform::DispatchRaisedObject(record);
  throw RaisedException(record);
}

namespace {
void CallPlainRoutine(void* routine) { (*static_cast<void (**)()>(routine))(); }
}  // namespace

void CallWithFaultsRaised(void (*routine)()) {
  platform::EXCEPTION_RECORD fault{};
  if (!platform::CallWithFaultGuard(CallPlainRoutine, &routine, fault)) {
    ResetFpu();
    throw RaisedException(fault);
  }
}
