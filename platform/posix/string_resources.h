// The POSIX stand-ins for string-table resources: the program's own table, linked into the image,
// and language modules, which are text files of "identifier = text" lines
// (docs/language-modules.md).
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace platform {

struct StringTableEntry {
  UINT id;
  const char* text;  // may hold any byte but NUL
};

// The program's own string table (platform/posix/image_string_table.cpp).
extern const StringTableEntry ImageStringTable[];
extern const size_t ImageStringTableSize;

// A language module file larger than this is not loaded.
inline constexpr size_t MaxLanguageModuleFileSize = 1024 * 1024;

// The parser behind LoadLibraryExA, for a file already in memory; the result is released with
// FreeLibrary. 0 when the text holds no well-formed entry or is larger than the file limit.
HMODULE LoadLanguageModuleFromMemory(const char* data, size_t size);

}  // namespace platform
