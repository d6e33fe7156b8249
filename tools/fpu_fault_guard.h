// For developer tools and fuzz targets: runs a piece of x87 code under DefaultFpuControlWord and
// turns an x87 fault (a real SIGFPE) into a result instead of a crash. The handler jumps back to
// the guard with siglongjmp.
//
// A fault that the guarded code leaves pending (an unmasked exception flag without the FWAIT that
// makes it surface) is a bug of its own: after a normal return the guard finds the error summary
// bit set in the status word and reports FaultLeftPending.
#pragma once

#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "numconv/fpu_control.h"

namespace fpuguard {

enum class Outcome { Returned, Overflow, Invalid, ZeroDivide, OtherFault, FaultLeftPending };

inline sigjmp_buf jumpBack;
inline volatile sig_atomic_t armed = 0;
inline volatile sig_atomic_t faultCode = 0;

inline void OnFault(int, siginfo_t* info, void*) {
  if (!armed) {
    static const char message[] = "floating-point fault outside a guarded conversion\n";
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    std::abort();
  }
  armed = 0;
  faultCode = info->si_code;
  siglongjmp(jumpBack, 1);
}

// Installed on first use (for fuzz targets: after libFuzzer and the sanitizers have set up their
// own handlers).
inline void InstallOnce() {
  static bool installed = false;
  if (installed) return;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);
  installed = true;
}

inline constexpr uint16_t ErrorSummaryBit = 0x0080;

// Runs body() under DefaultFpuControlWord and says how it ended. The FPU is left reset after a
// fault or a fault left pending.
template <typename Body>
Outcome Run(Body&& body) {
  InstallOnce();
  LoadFpuControlWord(DefaultFpuControlWord);
  if (sigsetjmp(jumpBack, 1) != 0) {
    ResetFpu();  // the handler ran with a fresh FPU state, which the jump does not undo
    switch (faultCode) {
      case FPE_FLTOVF: return Outcome::Overflow;
      case FPE_FLTINV: return Outcome::Invalid;
      case FPE_FLTDIV: return Outcome::ZeroDivide;
      default: return Outcome::OtherFault;
    }
  }
  armed = 1;
  body();
  const uint16_t status = ReadFpuStatusWord();
  armed = 0;
  if (status & ErrorSummaryBit) {
    ResetFpu();
    return Outcome::FaultLeftPending;
  }
  return Outcome::Returned;
}

}  // namespace fpuguard
