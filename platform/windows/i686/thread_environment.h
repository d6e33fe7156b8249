// The thread environment block on 32-bit x86: fs points at it.
#pragma once

namespace platform::win32 {

// The block's ThreadLocalStoragePointer (offset 0x2C): the thread's copies of the TLS template.
inline char** ThreadLocalStorageSlots() {
  char** slots;
  asm("movl %%fs:0x2C, %0" : "=r"(slots));
  return slots;
}

}  // namespace platform::win32
