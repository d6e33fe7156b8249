// What the fault guard keeps while its routine runs, on 32-bit x86: it starts with the
// registration record of the thread's handler chain (the link and the handler), as the system
// expects, followed by the stack and frame pointers to resume with.
#pragma once

#include <windows.h>

#include <cstdint>

namespace platform::win32 {

struct GuardFrame {
  GuardFrame* previous;  // +0: the next frame of the chain
  void* handler;         // +4: GuardHandler
  uintptr_t savedStack;  // +8: esp after the guard's prologue
  uintptr_t savedBase;   // +12: ebp of the guard
  EXCEPTION_RECORD* record;
  bool faulted;
  bool stackOverflow;
  bool takesRaised;  // a frame of DispatchRaised: takes back the raised object's status
};

}  // namespace platform::win32
