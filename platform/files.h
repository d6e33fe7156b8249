// File names and paths.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32.h"

namespace platform {

// The separator of directories in a path.
inline constexpr char PathDelimiter = '/';
// Whether program files carry an extension (".EXE") that a language abbreviation replaces.
// They do not on POSIX: there the abbreviation is appended to the program's file name.
inline constexpr bool ProgramFilesCarryExtension = false;

// The long (canonical) form of an existing path: on POSIX the absolute path with every symbolic
// link, "." and ".." resolved. Returns the length copied (without the terminating zero) when it
// fits in `size` characters, the size needed (with the zero) when it does not, and 0 when the
// path cannot be resolved (the last error says why).
DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size);

// The next character of a text in the program's code page. The POSIX code page has no lead
// bytes, so this is the next byte (the terminating zero is never passed).
const char* CharNextA(const char* text);

namespace posix_detail {
// Reads a whole regular file of at most `limit` bytes into `contents`. False for a missing,
// unreadable, non-regular or larger file; never blocks on a FIFO.
bool ReadSmallFile(const char* path, size_t limit, std::string& contents);
}  // namespace posix_detail

}  // namespace platform
