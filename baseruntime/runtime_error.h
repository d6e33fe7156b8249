// The base run-time error mechanism: the reasons, their run-time error codes, and the run-time
// error path that the text streams and every other check call. The exception support above the
// streams plugs into it through RuntimeErrorHook.
#pragma once

#include <cstdint>

// Names of failures inside the run-time (0..24); baseruntime/runtime_error.cpp holds their codes,
// runtime/exception_support.cpp their classes and messages.
enum RuntimeErrorReason : uint8_t {
  ReasonIoError = 0,
  ReasonOutOfMemory = 1,
  ReasonInvalidPointer = 2,
  ReasonDivByZero = 3,
  ReasonRangeError = 4,
  ReasonIntOverflow = 5,
  ReasonInvalidOp = 6,
  ReasonZeroDivide = 7,
  ReasonOverflow = 8,
  ReasonUnderflow = 9,
  ReasonInvalidCast = 10,
  ReasonAccessViolation = 11,
  ReasonPrivilege = 12,
  ReasonControlC = 13,
  ReasonStackOverflow = 14,
  ReasonVariantTypeConversion = 15,
  ReasonVariantOperation = 16,
  ReasonVariantMethodCall = 17,
  ReasonVariantArrayCreation = 18,
  ReasonInvalidArgument = 19,
  ReasonVariantArrayIndex = 20,
  ReasonAssertion = 21,
  ReasonExternal = 22,
  ReasonIntfCast = 23,
  ReasonSafecall = 24,
};

// The code location just after the call of the (never inlined) function that uses it.
#define RETURN_ADDRESS() (__builtin_extract_return_addr(__builtin_return_address(0)))

// Set by the exception support while it is installed: raises the reason's exception at
// `address` and does not come back. Empty otherwise.
using RuntimeErrorHookFunction = void (*)(uint8_t reason, const void* address);
extern RuntimeErrorHookFunction RuntimeErrorHook;

// The code of a platform fault without a row of its own, and of any unknown reason.
inline constexpr uint8_t UnknownStatusCode = 255;

// With RuntimeErrorHook installed, raises the reason's exception at `address`; otherwise ends
// the program with the reason's run-time error code at `address`. Does not return.
[[noreturn]] void RaiseRuntimeError(uint8_t reason, const void* address);

// The run-time error code of a reason (1..24): the code that ends the program when the exception
// support is not installed. Reason 0 takes its code from the pending I/O error instead.
uint8_t RuntimeErrorCodeOf(uint8_t reason);
