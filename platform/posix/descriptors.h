// On POSIX a handle is a file descriptor, carried in the pointer-shaped HANDLE.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace platform {

inline HANDLE HandleOfDescriptor(int fd) { return reinterpret_cast<HANDLE>(intptr_t{fd}); }
inline int DescriptorOfHandle(HANDLE handle) {
  return static_cast<int>(reinterpret_cast<intptr_t>(handle));
}

}  // namespace platform
