// File names and paths.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace platform {

// The long (canonical) form of an existing path: on POSIX the absolute path with every symbolic
// link, "." and ".." resolved. Returns the length copied (without the terminating zero) when it
// fits in `size` characters, the size needed (with the zero) when it does not, and 0 when the
// path cannot be resolved (the last error says why). On Windows: kernel32's GetLongPathNameA,
// looked up by name; where it is missing or fails, the path rebuilt one component at a time with
// FindFirstFileA, or the path itself (platform/windows/long_path.h).
DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size);

// The next character of a text in the program's code page. The POSIX code page has no lead
// bytes, so this is the next byte (the terminating zero is never passed).
const char* CharNextA(const char* text);

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x00000001u;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080u;

// Opens an existing file for reading (the only access and disposition supported here:
// GENERIC_READ with OPEN_EXISTING; other values fail with ERROR_INVALID_PARAMETER). The handle is
// read with ReadFile and released with CloseHandle (platform/console_files.h). A directory
// cannot be opened (ERROR_ACCESS_DENIED), as on Win32 without backup semantics. On failure
// INVALID_HANDLE_VALUE, and the last error says why (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED, ERROR_TOO_MANY_OPEN_FILES, ...). The security attributes and the template
// are not used.
HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                   HANDLE templateFile);

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;

// Moves the file pointer of a file on disk by the 64-bit distance *distanceHigh:distance from
// the start, the current position or the end (moveMethod). Returns the low 32 bits of the new
// position and puts its high 32 bits into *distanceHigh; INVALID_SET_FILE_POINTER with a last
// error other than ERROR_SUCCESS when it fails (a pipe or a device cannot be moved on; a
// position before the start fails with ERROR_NEGATIVE_SEEK). Not substituted by ConsoleOverride.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);
// Ends the file on disk at its file pointer: what lies beyond is cut off. Not substituted by
// ConsoleOverride.
BOOL SetEndOfFile(HANDLE file);

}  // namespace platform
