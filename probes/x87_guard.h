// For the probes and the fuzz targets: runs a piece of x87 code under DefaultFpuControlWord inside
// the platform's fault guard (platform/faults.h) and turns an x87 fault into a result instead of a
// crash. The fault handlers are the caller's to install (platform::InstallFaultHandlers): a probe
// installs them at its start, as the program does; a fuzz target only around the guarded call,
// so that everywhere else a fault reaches libFuzzer and the sanitizers.
//
// A fault that the guarded code leaves pending (an unmasked exception flag without the FWAIT that
// makes it surface) is a bug of its own: after a normal return the guard finds the error summary
// bit set in the status word and reports FaultLeftPending.
#pragma once

#include <cstdint>
#include <type_traits>

#include "numconv/fpu_control.h"
#include "platform/faults.h"

namespace x87guard {

enum class Outcome { Returned, Overflow, Invalid, ZeroDivide, OtherFault, FaultLeftPending };

inline constexpr uint16_t ErrorSummaryBit = 0x0080;

// What a fault with the given status means here: a stack fault is an invalid operation, as the
// unit reports it.
inline Outcome FaultOutcome(platform::DWORD status) {
  switch (status) {
    case platform::EXCEPTION_FLT_OVERFLOW:
      return Outcome::Overflow;
    case platform::EXCEPTION_FLT_INVALID_OPERATION:
    case platform::EXCEPTION_FLT_STACK_CHECK:
      return Outcome::Invalid;
    case platform::EXCEPTION_FLT_DIVIDE_BY_ZERO:
      return Outcome::ZeroDivide;
    default:
      return Outcome::OtherFault;
  }
}

// Runs body() under DefaultFpuControlWord and says how it ended. The FPU is left reset after a
// fault or a fault left pending.
template <typename Body>
Outcome Run(Body&& body) {
  LoadFpuControlWord(DefaultFpuControlWord);
  platform::EXCEPTION_RECORD fault{};
  const bool returned = platform::CallWithFaultGuard(
      [](void* context) { (*static_cast<std::remove_reference_t<Body>*>(context))(); }, &body,
      fault);
  if (!returned) {
    ResetFpu();  // the fault's flags are still set in the unit that the handler left
    return FaultOutcome(fault.ExceptionCode);
  }
  if (ReadFpuStatusWord() & ErrorSummaryBit) {
    ResetFpu();
    return Outcome::FaultLeftPending;
  }
  return Outcome::Returned;
}

}  // namespace x87guard
