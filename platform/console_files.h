// Console and file calls: the standard handles, their types, synchronous reads and writes,
// closing a handle, the thread's last error code and the end of the process.
//
// Every call has the meaning of the Win32 call of the same name. On POSIX a handle is a file
// descriptor; the standard handles are descriptors 0, 1 and 2. Error codes are Win32 codes,
// so a failure reads the same ("I/O error 112") on every platform.
#pragma once

#include "platform/win32.h"

namespace platform {

inline constexpr DWORD ERROR_INVALID_FUNCTION = 1;

// The descriptor of a standard handle; INVALID_HANDLE_VALUE (last error ERROR_INVALID_HANDLE)
// when that descriptor is not open or `which` names no standard handle.
HANDLE GetStdHandle(DWORD which);

// FILE_TYPE_CHAR for terminals and other character devices, FILE_TYPE_DISK for regular files,
// block devices and directories, FILE_TYPE_PIPE for pipes and sockets, FILE_TYPE_UNKNOWN when
// the handle cannot be examined (the last error says why).
DWORD GetFileType(HANDLE handle);

// One synchronous read of at most `size` bytes. *read receives the count, 0 at the end of the
// input. Interrupted calls are retried; a non-blocking descriptor is waited on until it is
// ready, as a synchronous handle would be.
BOOL ReadFile(HANDLE handle, void* buffer, DWORD size, DWORD* read);

// Writes all `size` bytes or fails: short writes are continued and interrupted calls retried.
// *written receives the number of bytes that reached the device. A pipe whose reader has gone
// fails with ERROR_NO_DATA (232); the process never dies of the broken-pipe signal.
BOOL WriteFile(HANDLE handle, const void* buffer, DWORD size, DWORD* written);

BOOL CloseHandle(HANDLE handle);

// The calling thread's last error code.
DWORD GetLastError();
void SetLastError(DWORD code);

// Ends the process at once with `exitCode`; flushes nothing.
[[noreturn]] void ExitProcess(UINT exitCode);

// Test substitution: when ConsoleOverride is set, every call above (except the errno table)
// goes to it instead of the operating system. Null selects the real backend.
struct ConsoleFunctions {
  HANDLE (*getStdHandle)(DWORD which);
  DWORD (*getFileType)(HANDLE handle);
  BOOL (*readFile)(HANDLE handle, void* buffer, DWORD size, DWORD* read);
  BOOL (*writeFile)(HANDLE handle, const void* buffer, DWORD size, DWORD* written);
  BOOL (*closeHandle)(HANDLE handle);
  DWORD (*getLastError)();
  void (*setLastError)(DWORD code);
  void (*exitProcess)(UINT exitCode);  // must not return
};

extern ConsoleFunctions* ConsoleOverride;

}  // namespace platform
