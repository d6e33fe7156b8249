// What travels up the stack for every exception, and the fault guard that turns a platform fault
// into one.
#pragma once

#include <new>

#include "platform/faults.h"

// The status under which a raised object travels: the record's first parameter is the raise
// address, the second the object; the other five (the raising code's registers) stay 0.
inline constexpr platform::DWORD ObjectExceptionStatus = 0x0EEDFADEu;
inline constexpr platform::DWORD ObjectExceptionParameterCount = 7;

// A raised object (ObjectExceptionStatus) or a platform fault (any other status). Only the
// outermost frame of the program and the unit initialisation and finalisation catch it. It is a
// std::bad_alloc only so that the allocator's new-handler may throw it for an out-of-memory
// failure.
struct RaisedException : std::bad_alloc {
  platform::EXCEPTION_RECORD record{};

  explicit RaisedException(const platform::EXCEPTION_RECORD& fault) : record(fault) {}
  const char* what() const noexcept override { return "framecalc exception"; }
};

// Raises `object` with `address` as its raise address. Never returns.
[[noreturn]] void RaiseObjectRecord(const void* object, const void* address);

// Runs `routine` so that a platform fault inside it continues as a RaisedException carrying the
// fault's record, thrown from here after the floating-point unit has been reset (ResetFpu).
void CallWithFaultsRaised(void (*routine)());
