// The thread environment block on x86-64: gs points at it.
#pragma once

namespace platform::win32 {

// The block's ThreadLocalStoragePointer (offset 0x58): the thread's copies of the TLS template.
inline char** ThreadLocalStorageSlots() {
  char** slots;
  asm("movq %%gs:0x58, %0" : "=r"(slots));
  return slots;
}

}  // namespace platform::win32
