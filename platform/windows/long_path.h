// The long form of a path on Windows, rebuilt one component at a time where the system offers no
// GetLongPathNameA (files.cpp).
#pragma once

#include "platform/win32.h"

namespace platform {

// Each component after the path's root is looked up with FindFirstFileA and replaced by the long
// name found. The root is kept as it is: a drive's first two characters ("C:"), or a UNC path's
// "\\server\share" (a UNC path without both is left unchanged, as is a path that starts with a
// single "\"). When a lookup fails, a component holds a wildcard, or the result would not fit in
// `size` characters with its zero, the path itself is the result. Returns the length of what was
// copied to longPath, or 0 when not even the path itself fits.
DWORD LongPathByComponents(const char* path, char* longPath, DWORD size);

}  // namespace platform
