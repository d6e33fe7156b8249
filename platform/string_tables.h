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
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

// A language module file larger than this is not loaded.
inline constexpr size_t MaxLanguageModuleFileSize = 1024 * 1024;

// Copies the entry `id` of the module's string table into buffer (at most bufferMax - 1
// characters and a terminating zero) and returns the number of characters copied; 0 when the
// module has no such entry. Module 0 and the program's module (GetModuleHandleA(nullptr))
// answer from ImageStringTable; a handle from LoadLibraryExA answers from that language module.
// A language module's entry for a text that the program formats (one whose own text holds
// conversions such as "%s" or "%d") is used only when its conversions are the program's, in the
// same order (trailing ones may be left out); otherwise the program's own text answers, so a
// translation can never make a format unfit for its arguments.
int LoadStringA(HINSTANCE module, UINT id, char* buffer, int bufferMax);

// Loads a language module as data (LOAD_LIBRARY_AS_DATAFILE is required; nothing in the file
// is ever run). On POSIX a language module is a text file of "identifier = text" lines
// (docs/language-modules.md). 0 when it cannot be loaded: missing or unreadable file, not a
// regular file, larger than MaxLanguageModuleFileSize, or without a single well-formed entry.
HMODULE LoadLibraryExA(const char* fileName, HANDLE reserved, DWORD flags);
// Releases a language module; FALSE for any other handle.
BOOL FreeLibrary(HMODULE module);
// Language modules export nothing: always null.
void* GetProcAddress(HMODULE module, const char* name);

// The parser behind LoadLibraryExA, for a file already in memory; the result is released with
// FreeLibrary. 0 when the text holds no well-formed entry or is larger than the file limit.
HMODULE LoadLanguageModuleFromMemory(const char* data, size_t size);

}  // namespace platform
