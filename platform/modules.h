// Modules and memory regions of the process.
//
// A module is the program's executable or a shared library loaded into it; its handle is its load
// base (the address that the module's link-time addresses are relative to), so that an address
// minus the allocation base of its region is the address that `addr2line -e FILE` understands.
#pragma once

#include "platform/win32.h"

namespace platform {

inline constexpr DWORD MEM_COMMIT = 0x1000;
inline constexpr DWORD MEM_FREE = 0x10000;
inline constexpr DWORD MEM_IMAGE = 0x1000000;

inline constexpr DWORD PAGE_NOACCESS = 0x01;
inline constexpr DWORD PAGE_READONLY = 0x02;
inline constexpr DWORD PAGE_READWRITE = 0x04;
inline constexpr DWORD PAGE_EXECUTE = 0x10;
inline constexpr DWORD PAGE_EXECUTE_READ = 0x20;
inline constexpr DWORD PAGE_EXECUTE_READWRITE = 0x40;

struct MEMORY_BASIC_INFORMATION {
  void* BaseAddress;
  void* AllocationBase;  // for an address inside a loaded module: that module's load base
  DWORD AllocationProtect;
  size_t RegionSize;
  DWORD State;
  DWORD Protect;
  DWORD Type;
};

// The program's own module for a null name; otherwise the loaded module whose file name (the part
// after the last "/") is `moduleName`, or 0 (last error ERROR_MOD_NOT_FOUND).
HMODULE GetModuleHandleA(const char* moduleName);
// The full path of the module's file (the program's for module 0); returns the length copied.
// A path that does not fit is cut to size - 1 characters and a zero, and `size` is returned
// (last error ERROR_INSUFFICIENT_BUFFER); 0 for a handle that names no module. On POSIX the
// program's path is the kernel's name of its file, without the " (deleted)" that the kernel adds
// once the file has been removed or replaced; a path too long for the kernel to spell gives the
// name the program was started under, counted as cut (`size`, ERROR_INSUFFICIENT_BUFFER).
DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size);
// Describes the region that holds `address`: a loaded segment of a module is MEM_COMMIT with the
// module's load base as AllocationBase; any other address is reported as MEM_FREE with a null
// AllocationBase. Returns sizeof(MEMORY_BASIC_INFORMATION), or 0 when `length` is too small.
size_t VirtualQuery(const void* address, MEMORY_BASIC_INFORMATION* info, size_t length);

}  // namespace platform
