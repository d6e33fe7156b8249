// String tables: the program's own table (linked into the image, as a resource would be) and
// the tables of language modules loaded as data files.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace platform {

inline constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

// Copies the entry `id` of the module's string table into buffer (at most bufferMax - 1
// characters and a terminating zero) and returns the number of characters copied; 0 when the
// module has no such entry. Module 0 and the program's module (GetModuleHandleA(nullptr))
// answer from the program's own table; a handle from LoadLibraryExA answers from that language
// module (0 for an entry it lacks or holds empty, last error ERROR_RESOURCE_NAME_NOT_FOUND).
int LoadStringA(HINSTANCE module, UINT id, char* buffer, int bufferMax);

// Loads a language module as data (LOAD_LIBRARY_AS_DATAFILE is required; nothing in the file
// is ever run). 0 when it cannot be loaded (missing, unreadable or malformed file). On Windows
// every block of the module's string table is checked when it loads: a module with an entry
// that runs past the end of its block, a block too short for its 16 entries or a block of an odd
// number of bytes is released again, 0 with ERROR_BAD_EXE_FORMAT.
HMODULE LoadLibraryExA(const char* fileName, HANDLE reserved, DWORD flags);
// Releases a language module; FALSE for any other handle.
BOOL FreeLibrary(HMODULE module);
// Language modules export nothing: always null.
void* GetProcAddress(HMODULE module, const char* name);

}  // namespace platform
