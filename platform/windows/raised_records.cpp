// A raised object's record handed to the system: dispatched as the system's own exception (and
// taken back by the guard's frame), offered to the unhandled-exception filter, or raised for good.
#include <windows.h>

#include <cstring>
#include <exception>

#include "fault_guard.h"
#include "win32_api.h"

namespace platform::win32 {

// Raises the record. No C++ frame lies between it and the guard that takes the record back: a
// catch-all there could take the system's exception for a C++ one.
extern "C" void RaiseRecord(void* argument) {
  const auto* record = static_cast<const EXCEPTION_RECORD*>(argument);
  ::RaiseException(record->ExceptionCode, record->ExceptionFlags, record->NumberParameters,
                   record->ExceptionInformation);
}

void DispatchRaised(const void* record, size_t recordSize) {
  if (recordSize != sizeof(EXCEPTION_RECORD)) std::terminate();
  EXCEPTION_RECORD copy;
  std::memcpy(&copy, record, sizeof copy);
  GuardFrame frame;
  PrepareGuardFrame(frame, &copy);
  frame.takesRaised = true;
  GuardCall(&frame, &RaiseRecord, &copy);
}

long AskUnhandledExceptionFilter(const void* record, size_t recordSize) {
  if (recordSize != sizeof(EXCEPTION_RECORD)) std::terminate();
  // Without a debugger the system's filter would only start the error reporting (a dialog on
  // Windows, "starting debugger..." on Wine's standard error) ahead of the program's own report.
  if (!::IsDebuggerPresent()) return EXCEPTION_EXECUTE_HANDLER;
  EXCEPTION_RECORD copy;
  std::memcpy(&copy, record, sizeof copy);
  CONTEXT context;
  std::memset(&context, 0, sizeof context);
  ::RtlCaptureContext(&context);
  EXCEPTION_POINTERS pointers{&copy, &context};
  return ::UnhandledExceptionFilter(&pointers);
}

void RaiseToSystem(const void* record, size_t recordSize) {
  if (recordSize != sizeof(EXCEPTION_RECORD)) std::terminate();
  RaiseRecord(const_cast<void*>(record));
}

}  // namespace platform::win32
