// File names and paths: the Win32 calls.
#include "platform/files.h"

#include "platform/console_files.h"
#include "win32_api.h"

namespace platform {

DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size) {
  return static_cast<DWORD>(win32::LongPathName(shortPath, longPath, size));
}

const char* CharNextA(const char* text) { return win32::NextChar(text); }

HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                   void* /*securityAttributes*/, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
  if (fileName == nullptr || desiredAccess != GENERIC_READ || creationDisposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // A directory fails with ERROR_ACCESS_DENIED, as without backup semantics it always does.
  return win32::OpenFileForReading(fileName, shareMode);
}

}  // namespace platform
