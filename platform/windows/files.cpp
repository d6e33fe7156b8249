// File names and paths: the Win32 calls.
#include "platform/files.h"

#include "win32_api.h"

namespace platform {

DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size) {
  return static_cast<DWORD>(win32::LongPathName(shortPath, longPath, size));
}

const char* CharNextA(const char* text) { return win32::NextChar(text); }

}  // namespace platform
