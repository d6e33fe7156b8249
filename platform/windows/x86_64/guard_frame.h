// What the fault guard keeps while its routine runs, on x86-64 (the handler is attached to
// GuardCall's unwind information, and GuardCall keeps the frame's address in its own frame).
#pragma once

#include <windows.h>

namespace platform::win32 {

struct GuardFrame {
  EXCEPTION_RECORD* record;
  bool faulted;
  bool stackOverflow;
  bool takesRaised;  // a frame of DispatchRaised: takes back the raised object's status
};

}  // namespace platform::win32
