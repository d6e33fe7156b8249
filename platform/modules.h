// Modules and memory regions of the process.
#pragma once

#include "platform/win32.h"

namespace platform {

inline constexpr DWORD MEM_COMMIT = 0x1000;
inline constexpr DWORD MEM_FREE = 0x10000;

struct MEMORY_BASIC_INFORMATION {
  void* BaseAddress;
  void* AllocationBase;  // for an address inside a loaded module: that module's load base
  DWORD AllocationProtect;
  size_t RegionSize;
  DWORD State;
  DWORD Protect;
  DWORD Type;
};

// The program's own module for a null name.
HMODULE GetModuleHandleA(const char* moduleName);
// The full path of the module's file (the program's for module 0); returns the length copied.
DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size);
size_t VirtualQuery(const void* address, MEMORY_BASIC_INFORMATION* info, size_t length);

}  // namespace platform
