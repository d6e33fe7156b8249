// File names and paths.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace platform {

// The long (canonical) form of an existing path: on POSIX the absolute path with every symbolic
// link, "." and ".." resolved. Returns the length copied (without the terminating zero) when it
// fits in `size` characters, the size needed (with the zero) when it does not, and 0 when the
// path cannot be resolved (the last error says why).
DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size);

// The next character of a text in the program's code page. The POSIX code page has no lead
// bytes, so this is the next byte (the terminating zero is never passed).
const char* CharNextA(const char* text);

}  // namespace platform
