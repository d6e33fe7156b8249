// String tables: the program's own table (linked into the image, as a resource would be) and
// the tables of language modules loaded as data files.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace platform {

struct StringTableEntry {
  UINT id;
  const char* text;  // may hold any byte but NUL
};

// The program's own string table, defined by the program (runtime/string_table.cpp).
extern const StringTableEntry ImageStringTable[];
extern const size_t ImageStringTableSize;

inline constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;

// Copies the entry `id` of the module's string table into buffer (at most bufferMax - 1
// characters and a terminating zero) and returns the number of characters copied; 0 when the
// module has no such entry. The program's module answers from ImageStringTable; a handle from
// LoadLibraryExA answers from that language module.
int LoadStringA(HINSTANCE module, UINT id, char* buffer, int bufferMax);

// Loads a language module as data (LOAD_LIBRARY_AS_DATAFILE); 0 when it cannot be loaded.
HMODULE LoadLibraryExA(const char* fileName, HANDLE reserved, DWORD flags);
BOOL FreeLibrary(HMODULE module);
void* GetProcAddress(HMODULE module, const char* name);

}  // namespace platform
