// Faults raised by the processor or the operating system (an x87 floating-point exception, an
// integer division by zero, an access violation, a stack overflow, an illegal instruction), in the
// form of the Win32 exception record with its status codes.
//
// A fault is delivered to the innermost fault guard: CallWithFaultGuard runs a routine and, when
// the routine faults, returns false with the fault's record instead of letting the process die.
// Frames between the fault and the guard are left without running their destructors, as a
// platform unwind past frames without handlers would; keep guards close to the code whose
// clean-up matters.
#pragma once

#include "platform/win32.h"

namespace platform {

inline constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005u;
inline constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001Du;
inline constexpr DWORD EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008Cu;
inline constexpr DWORD EXCEPTION_FLT_DENORMAL_OPERAND = 0xC000008Du;
inline constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008Eu;
inline constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008Fu;
inline constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090u;
inline constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091u;
inline constexpr DWORD EXCEPTION_FLT_STACK_CHECK = 0xC0000092u;
inline constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093u;
inline constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094u;
inline constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095u;
inline constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096u;
inline constexpr DWORD EXCEPTION_STACK_OVERFLOW = 0xC00000FDu;
inline constexpr DWORD STATUS_CONTROL_C_EXIT = 0xC000013Au;

inline constexpr DWORD EXCEPTION_NONCONTINUABLE = 0x1;
inline constexpr DWORD EXCEPTION_UNWINDING = 0x2;
inline constexpr DWORD EXCEPTION_EXIT_UNWIND = 0x4;

inline constexpr DWORD EXCEPTION_MAXIMUM_PARAMETERS = 15;

struct EXCEPTION_RECORD {
  DWORD ExceptionCode;  // the status
  DWORD ExceptionFlags;
  EXCEPTION_RECORD* ExceptionRecord;  // a chained record; always null here
  void* ExceptionAddress;             // the faulting instruction
  DWORD NumberParameters;
  uintptr_t ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};

// Takes over the fault signals of the process, on a stack of their own. Until
// RemoveFaultHandlers, a fault inside CallWithFaultGuard returns to that guard; a fault outside
// every guard ends the process as it would without the handlers. The handlers end with the
// process: RemoveFaultHandlers is for a caller that goes on running without them.
void InstallFaultHandlers();
void RemoveFaultHandlers();
bool FaultHandlersInstalled();

// Runs routine(context). Returns true when it comes back normally; false when it faulted, with
// the fault's record in `fault`. A C++ exception thrown by the routine passes through unchanged.
// After a fault the x87 unit is left as the signal handler had it (control word 0x037F): the
// caller loads its own control word again.
bool CallWithFaultGuard(void (*routine)(void* context), void* context, EXCEPTION_RECORD& fault);

// The status of the fault that an x87 exception raises when the control word leaves it unmasked.
// `unmasked` holds such exceptions as the status word's flags (bit 0 invalid operation, 1
// denormal operand, 2 division by zero, 3 overflow, 4 underflow, 5 precision): the lowest of
// them is the fault, as the unit reports it. An invalid operation is a stack check when the
// status word's stack-fault flag (bit 6) is set in `statusWord`.
inline DWORD FloatingPointFaultStatus(uint32_t unmasked, uint32_t statusWord = 0) {
  if ((unmasked & 0x01u) != 0) {
    return (statusWord & 0x40u) != 0 ? EXCEPTION_FLT_STACK_CHECK : EXCEPTION_FLT_INVALID_OPERATION;
  }
  if ((unmasked & 0x02u) != 0) return EXCEPTION_FLT_DENORMAL_OPERAND;
  if ((unmasked & 0x04u) != 0) return EXCEPTION_FLT_DIVIDE_BY_ZERO;
  if ((unmasked & 0x08u) != 0) return EXCEPTION_FLT_OVERFLOW;
  if ((unmasked & 0x10u) != 0) return EXCEPTION_FLT_UNDERFLOW;
  return EXCEPTION_FLT_INEXACT_RESULT;
}

// Raises a floating-point fault that software found (the extended arithmetic of a target without
// an x87) as the processor's own fault: it reaches the innermost fault guard with `status` and
// `address` (the failing operation) in its record, and outside every guard it ends the process
// as that fault would. Only the backends of such targets define it (POSIX).
[[noreturn]] void RaiseFloatingPointFault(DWORD status, const void* address);

// Hands the record of a raised object (status 0x0EEDFADE, non-continuable, its parameters) to the
// platform's exception dispatch before the program's own unwinding carries it on, and returns
// when nothing there takes it over. On Windows this is RaiseException inside a frame that takes
// the record back once a debugger and the vectored handlers have seen it (first chance) and
// declined. POSIX has no such dispatch: it returns at once.
void DispatchRaisedObject(const EXCEPTION_RECORD& record);

inline constexpr LONG EXCEPTION_CONTINUE_SEARCH = 0;
inline constexpr LONG EXCEPTION_EXECUTE_HANDLER = 1;

// The platform's last-chance question for an exception that nothing handled:
// EXCEPTION_CONTINUE_SEARCH (0) when the platform takes it over (a debugger is to have it), any
// other answer when the program reports it itself. Windows asks UnhandledExceptionFilter while a
// debugger is attached (without one it would only start the system's error reporting ahead of
// the program's report); POSIX has no such filter. Both answer EXCEPTION_EXECUTE_HANDLER then.
LONG UnhandledExceptionFilter(const EXCEPTION_RECORD& record);

// Hands an exception that the last-chance question gave to the platform back to it: on Windows
// it is raised again with no handler of the program's left, so that the system (or the
// debugger) ends the process. Returns only where the platform has no such way (POSIX).
void PassToPlatform(const EXCEPTION_RECORD& record);

// Test substitution: when set, UnhandledExceptionFilter answers through it.
extern LONG (*UnhandledExceptionFilterOverride)(const EXCEPTION_RECORD& record);

}  // namespace platform
