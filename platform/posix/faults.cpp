// Fault signals turned into Win32-style fault records.
//
// SIGFPE, SIGSEGV, SIGBUS and SIGILL are caught on an alternate stack (so that a stack overflow
// can be caught at all). The handler fills the record of the innermost fault guard and jumps
// back to it with siglongjmp; the guard returns false and its caller goes on from normal context.
// Only a signal that the kernel raised for an instruction (si_code above 0) is a fault; the same
// signal sent by a process takes its default action.
#include "platform/faults.h"

#include "machine_context.h"
#include "memory_layout.h"

#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace platform {
namespace {

// A guard's landing pad lives in the guard's own frame, like a Win32 registration record; the
// handler finds it through this table. (A table of the pads themselves would be 22 KB of
// variables between the few that every run touches.)
struct LandingPad {
  sigjmp_buf environment;
  EXCEPTION_RECORD record;
};

constexpr int MaxGuardDepth = 64;
LandingPad* LandingPads[MaxGuardDepth];
volatile sig_atomic_t GuardDepth = 0;

constexpr int HandledSignals[] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL};
constexpr int HandledSignalCount = sizeof(HandledSignals) / sizeof(HandledSignals[0]);
struct sigaction PreviousActions[HandledSignalCount];
bool Installed = false;

// The handler's own stack: a stack overflow leaves no room on the normal one. Only a fault
// touches it, so it is kept apart from the variables that every run uses.
constexpr size_t AlternateStackSize = 64 * 1024;
alignas(16) FRAMECALC_SELDOM_TOUCHED unsigned char AlternateStack[AlternateStackSize];
stack_t PreviousAlternateStack;

// A fault this close to the stack pointer is the stack running out: the push or the probe of a
// new frame touched the guard area below the stack.
constexpr uintptr_t StackFaultWindow = 64 * 1024;

DWORD FloatStatusFromCode(int code) {
  switch (code) {
    case FPE_FLTDIV:
      return EXCEPTION_FLT_DIVIDE_BY_ZERO;
    case FPE_FLTOVF:
      return EXCEPTION_FLT_OVERFLOW;
    case FPE_FLTUND:
      return EXCEPTION_FLT_UNDERFLOW;
    case FPE_FLTRES:
      return EXCEPTION_FLT_INEXACT_RESULT;
    case FPE_FLTSUB:
      return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
    default:
      return EXCEPTION_FLT_INVALID_OPERATION;
  }
}

void ResetToDefault(int signalNumber) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

void FaultHandler(int signalNumber, siginfo_t* info, void* contextPointer) {
  if (info->si_code <= 0) {
    // Sent by a process (kill, sigqueue, tgkill), not raised by an instruction of the program:
    // it ends the program by the signal's default action, as it would any program.
    ResetToDefault(signalNumber);
    sigset_t own;
    sigemptyset(&own);
    sigaddset(&own, signalNumber);
    sigprocmask(SIG_UNBLOCK, &own, nullptr);
    raise(signalNumber);
    return;
  }
  const sig_atomic_t depth = GuardDepth;
  if (depth <= 0) {
    // No guard: the instruction faults again on return and the default action ends the process.
    ResetToDefault(signalNumber);
    return;
  }
  const auto* context = static_cast<const ucontext_t*>(contextPointer);
  const uintptr_t instruction = machine::InstructionPointer(*context);
  const uintptr_t stackPointer = machine::StackPointer(*context);

  EXCEPTION_RECORD& record = LandingPads[depth - 1]->record;
  std::memset(&record, 0, sizeof record);
  record.ExceptionAddress = reinterpret_cast<void*>(instruction);

  switch (signalNumber) {
    case SIGFPE: {
      if (info->si_code == FPE_INTDIV) {
        record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
      } else if (info->si_code == FPE_INTOVF) {
        record.ExceptionCode = EXCEPTION_INT_OVERFLOW;
      } else {
        // The fault's own address: the instruction that reported it, or the failing operation
        // of a fault that software raised (RaiseFloatingPointFault).
        uintptr_t cause = reinterpret_cast<uintptr_t>(info->si_addr);
        const DWORD status = machine::FloatingPointFault(*context, cause);
        record.ExceptionAddress = reinterpret_cast<void*>(cause);
        record.ExceptionCode = status != 0 ? status : FloatStatusFromCode(info->si_code);
      }
      break;
    }
    case SIGILL:
      record.ExceptionCode =
          info->si_code == ILL_PRVOPC ? EXCEPTION_PRIV_INSTRUCTION : EXCEPTION_ILLEGAL_INSTRUCTION;
      break;
    case SIGSEGV:
    case SIGBUS: {
      const uintptr_t target = reinterpret_cast<uintptr_t>(info->si_addr);
      if (machine::IsGeneralProtectionFault(signalNumber, *info)) {
        // A general-protection fault: no target address is known.
        if (machine::IsPrivilegedInstruction(reinterpret_cast<const unsigned char*>(instruction))) {
          record.ExceptionCode = EXCEPTION_PRIV_INSTRUCTION;
          break;
        }
        record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = 0;
        record.ExceptionInformation[1] = ~uintptr_t{0};
        break;
      }
      if (signalNumber == SIGSEGV && target + StackFaultWindow >= stackPointer &&
          target < stackPointer + StackFaultWindow) {
        record.ExceptionCode = EXCEPTION_STACK_OVERFLOW;
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = 1;
        record.ExceptionInformation[1] = target;
        break;
      }
      record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
      record.NumberParameters = 2;
      record.ExceptionInformation[0] = machine::FaultWasWrite(*context, target) ? 1 : 0;
      record.ExceptionInformation[1] = target;
      break;
    }
    default:
      record.ExceptionCode = EXCEPTION_ILLEGAL_INSTRUCTION;
      break;
  }
  // The signal is blocked while its handler runs: leave with the mask of the interrupted code,
  // so that the next fault is delivered again. Only this path pays for the call; the guard itself
  // saves no mask.
  sigprocmask(SIG_SETMASK, &context->uc_sigmask, nullptr);
  siglongjmp(LandingPads[depth - 1]->environment, 1);
}

}  // namespace

void InstallFaultHandlers() {
  if (Installed) return;
  stack_t alternate;
  std::memset(&alternate, 0, sizeof alternate);
  alternate.ss_sp = AlternateStack;
  alternate.ss_size = AlternateStackSize;
  alternate.ss_flags = 0;
  sigaltstack(&alternate, &PreviousAlternateStack);

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = FaultHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  sigset_t handled;
  sigemptyset(&handled);
  for (int i = 0; i < HandledSignalCount; ++i) {
    sigaction(HandledSignals[i], &action, &PreviousActions[i]);
    sigaddset(&handled, HandledSignals[i]);
  }
  // A fault signal blocked by the parent would kill the process at the first fault, handler or
  // not: the signals the handler takes are unblocked.
  pthread_sigmask(SIG_UNBLOCK, &handled, nullptr);
  Installed = true;
}

void RemoveFaultHandlers() {
  if (!Installed) return;
  for (int i = 0; i < HandledSignalCount; ++i) {
    sigaction(HandledSignals[i], &PreviousActions[i], nullptr);
  }
  sigaltstack(&PreviousAlternateStack, nullptr);
  Installed = false;
}

bool FaultHandlersInstalled() { return Installed; }

bool CallWithFaultGuard(void (*routine)(void* context), void* context, EXCEPTION_RECORD& fault) {
  const sig_atomic_t mine = GuardDepth;
  if (mine >= MaxGuardDepth) {
    routine(context);
    return true;
  }
  LandingPad pad;
  LandingPads[mine] = &pad;
  // No mask is saved here: the handler puts back the interrupted code's mask before it jumps.
  if (sigsetjmp(pad.environment, 0) != 0) {
    GuardDepth = mine;
    fault = pad.record;
    return false;
  }
  GuardDepth = mine + 1;
  try {
    routine(context);
  } catch (...) {
    GuardDepth = mine;
    throw;
  }
  GuardDepth = mine;
  return true;
}

LONG (*UnhandledExceptionFilterOverride)(const EXCEPTION_RECORD& record) = nullptr;

// No debugger or vectored handler is asked here: a raised object travels as the C++ exception.
void DispatchRaisedObject(const EXCEPTION_RECORD&) {}

LONG UnhandledExceptionFilter(const EXCEPTION_RECORD& record) {
  if (UnhandledExceptionFilterOverride != nullptr) return UnhandledExceptionFilterOverride(record);
  return EXCEPTION_EXECUTE_HANDLER;
}

void PassToPlatform(const EXCEPTION_RECORD&) {}

// The fault is sent to the calling thread as the signal the processor's fault would be, with the
// same code and the failing operation's address: it reaches the same handler (or ends the process
// the same way) as a fault of the x87. A thread may queue any signal information to itself.
void RaiseFloatingPointFault(DWORD status, const void* address) {
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  info.si_signo = SIGFPE;
  info.si_code = status == EXCEPTION_FLT_DIVIDE_BY_ZERO ? FPE_FLTDIV
                 : status == EXCEPTION_FLT_OVERFLOW     ? FPE_FLTOVF
                 : status == EXCEPTION_FLT_UNDERFLOW || status == EXCEPTION_FLT_DENORMAL_OPERAND
                     ? FPE_FLTUND
                 : status == EXCEPTION_FLT_INEXACT_RESULT ? FPE_FLTRES
                                                          : FPE_FLTINV;
  info.si_addr = const_cast<void*>(address);
  syscall(SYS_rt_tgsigqueueinfo, getpid(), gettid(), SIGFPE, &info);
  // Only a blocked or ignored signal comes back here: the fault ends the process all the same.
  ResetToDefault(SIGFPE);
  sigset_t floatingPoint;
  sigemptyset(&floatingPoint);
  sigaddset(&floatingPoint, SIGFPE);
  pthread_sigmask(SIG_UNBLOCK, &floatingPoint, nullptr);
  raise(SIGFPE);
  abort();
}

}  // namespace platform
