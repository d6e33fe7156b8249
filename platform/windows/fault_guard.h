// The fault guard: a frame on the thread's own exception handler chain. A fault inside the
// guarded routine is dispatched by the system to the frames of the chain, innermost first; the
// guard's handler takes the processor faults and resumes execution at the guard's landing
// point, with the stack and registers the guard had when it called the routine. Exceptions that
// are not faults (C++ exceptions, RaiseException) and faults that an inner frame handles (the
// system DLLs' own guards) never reach it.
//
// The guard's frame and its two routines (GuardCall, in assembly, and GuardHandler) depend on the
// processor and lie in its folder; the rules here do not.
#pragma once

#include <windows.h>

#include <cstdint>

#include "guard_frame.h"  // the processor's: what the guard keeps while its routine runs

namespace platform::win32 {

// The status of a raised object's record (the guard of DispatchRaised takes it back).
constexpr DWORD RaisedObjectStatus = 0x0EEDFADE;

// The processor faults that the guard takes; every other exception goes on to the outer frames.
bool IsGuardedFault(DWORD code);

// The fault's record into the frame's. An x87 fault's address becomes that of the instruction
// that caused it (`unitPointer`, the unit's own record of it) where that one can be told.
void TakeFault(GuardFrame& frame, const EXCEPTION_RECORD& record, uint64_t unitPointer);

// A cleared frame that fills `record`, ready for GuardCall.
void PrepareGuardFrame(GuardFrame& frame, EXCEPTION_RECORD* record);

}  // namespace platform::win32

extern "C" {
// Calls trampoline(argument) inside the guard: 1 when it returned, 0 when the guard's handler
// took a fault (or, in a frame that takes them, a raised object) and went on at the guard.
int GuardCall(platform::win32::GuardFrame* frame, void (*trampoline)(void*), void* argument);
EXCEPTION_DISPOSITION GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                   CONTEXT* context, void* dispatcherContext);
// Where GuardHandler resumes: after a fault (the x87 reset first), after a raised object.
void GuardLanding();
void GuardRaiseLanding();
}
