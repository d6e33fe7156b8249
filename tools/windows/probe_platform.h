// What the probe needs from the system on Windows: the x87 fault guard (on the platform's fault
// guard, a frame on the thread's handler chain), binary standard streams and a line reader.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "numconv/fpu_control.h"
#include "platform/faults.h"
#include "platform/windows/win32_api.h"

namespace fpuguard {

enum class Outcome { Returned, Overflow, Invalid, ZeroDivide, OtherFault, FaultLeftPending };

inline void InstallOnce() {}

inline constexpr uint16_t ErrorSummaryBit = 0x0080;

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
    ResetFpu();
    switch (fault.ExceptionCode) {
      case platform::EXCEPTION_FLT_OVERFLOW: return Outcome::Overflow;
      case platform::EXCEPTION_FLT_INVALID_OPERATION:
      case platform::EXCEPTION_FLT_STACK_CHECK: return Outcome::Invalid;
      case platform::EXCEPTION_FLT_DIVIDE_BY_ZERO: return Outcome::ZeroDivide;
      default: return Outcome::OtherFault;
    }
  }
  if (ReadFpuStatusWord() & ErrorSummaryBit) {
    ResetFpu();
    return Outcome::FaultLeftPending;
  }
  return Outcome::Returned;
}

}  // namespace fpuguard

namespace probe_platform {

// The C run-time opens the standard streams in text mode (CR LF for LF, end of input at byte 26).
inline void PrepareStandardStreams() { platform::win32::SetBinaryStandardStreams(); }

// The next line of standard input with its LF (if any) in *line; false at the end of input.
inline bool ReadLine(char*& line, size_t& capacity, size_t& length) {
  length = 0;
  for (;;) {
    const int c = std::getc(stdin);
    if (c == EOF) break;
    if (length + 2 > capacity) {
      const size_t grown = capacity < 64 ? 128 : capacity * 2;
      char* bigger = static_cast<char*>(std::realloc(line, grown));
      if (bigger == nullptr) std::abort();
      line = bigger;
      capacity = grown;
    }
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (length == 0) return false;
  line[length] = '\0';
  return true;
}

}  // namespace probe_platform
