// The Win32 calls of the Windows backend, as plain functions of plain types. Only the files that
// speak to the system include windows.h (win32_api.cpp, static_tls.cpp, fault_guard.cpp,
// raised_records.cpp and the processor folder's guard_call.cpp), whose macros would clash with
// the Win32-shaped declarations of platform/*.h; every other file of the backend calls the system
// through here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::win32 {

void* StdHandle(unsigned long which);
unsigned long FileType(void* handle);
int ReadFile(void* handle, void* buffer, unsigned long size, unsigned long* read);
int WriteFile(void* handle, const void* buffer, unsigned long size, unsigned long* written);
int CloseHandle(void* handle);
void* CreateFileHandle(const char* fileName, unsigned long desiredAccess, unsigned long shareMode,
                       unsigned long creationDisposition, unsigned long flagsAndAttributes);
// SetFilePointer and SetEndOfFile.
unsigned long MoveFilePointer(void* file, long distance, long* distanceHigh,
                              unsigned long moveMethod);
int EndFileHere(void* file);
unsigned long LastError();
void SetLastError(unsigned long code);
[[noreturn]] void ExitProcess(unsigned int exitCode);

uintptr_t ModuleHandle(const char* moduleName);
unsigned long ModuleFileName(uintptr_t module, char* fileName, unsigned long size);

struct RegionInfo {
  void* baseAddress;
  void* allocationBase;
  unsigned long allocationProtect;
  size_t regionSize;
  unsigned long state;
  unsigned long protect;
  unsigned long type;
};
size_t QueryRegion(const void* address, RegionInfo& info);

// kernel32's GetLongPathNameA looked up by name (null where the system has none), and a call
// through what the look-up gave.
void* LongPathNameFunction();
unsigned long CallLongPathName(void* function, const char* shortPath, char* longPath,
                               unsigned long size);
// FindFirstFileA on `path`: the file name found (cFileName) into `name`, at most size - 1
// characters and a zero; false when nothing is found or the name does not fit.
bool FindFileName(const char* path, char* name, unsigned long size);
const char* NextChar(const char* text);

int LoadStringFrom(uintptr_t module, unsigned int id, char* buffer, int bufferMax);
// Whether every block of the module's string table, in every language it holds, is well formed
// (StringBlockWellFormed against the size that SizeofResource gives for it). A module without a
// string table has no malformed block.
bool StringBlocksWellFormed(uintptr_t module);
uintptr_t LoadAsData(const char* fileName, void* reserved, unsigned long flags);
int FreeLibrary(uintptr_t module);
void* ProcAddress(uintptr_t module, const char* name);

long OpenRegistryKey(uintptr_t key, const char* subKey, unsigned long options, unsigned long access,
                     uintptr_t* result);
long QueryRegistryValue(uintptr_t key, const char* valueName, unsigned long* reserved,
                        unsigned long* type, unsigned char* data, unsigned long* dataSize);
long CloseRegistryKey(uintptr_t key);

unsigned long ThreadLocale();
int LocaleInfo(unsigned long locale, unsigned long type, char* data, int size);

int KeyboardType(int typeFlag);
int ConvertToOem(const char* source, char* destination);

// The thread's copy of a variable placed in the image's static TLS template (section .tls):
// the address of the same variable for the calling thread.
void* StaticTlsAddress(const void* templateVariable);

// Runs routine(context) with a frame handler on the thread's own handler chain. A processor
// fault inside it (see faults.cpp for the statuses) returns here with false, its exception
// record copied to `record` (EXCEPTION_RECORD's layout, recordSize bytes) and the x87 unit
// reset; any other exception passes by. C++ exceptions thrown by the routine reach the caller.
bool CallWithFrameHandler(void (*routine)(void*), void* context, void* record, size_t recordSize);

// RaiseException with the record's status, flags and parameters (EXCEPTION_RECORD's layout,
// recordSize bytes) inside a frame that takes that status back once a debugger and the vectored
// handlers have declined it; returns then.
void DispatchRaised(const void* record, size_t recordSize);
// UnhandledExceptionFilter for the record, with the caller's context, while a debugger is
// attached; EXCEPTION_EXECUTE_HANDLER (1) without one.
long AskUnhandledExceptionFilter(const void* record, size_t recordSize);
// RaiseException with the record, from where no handler of the program is left to take it.
void RaiseToSystem(const void* record, size_t recordSize);

// Keeps room on the thread's stack for the handling of a stack overflow (the system dispatches
// the fault on the thread's own stack, below the guard page).
void ReserveStackForFaults();

// Binary standard streams for the C run-time's stdio (tools that print with it).
void SetBinaryStandardStreams();

}  // namespace platform::win32
