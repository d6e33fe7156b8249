// Registry calls. On POSIX the registry is a small configuration file per user,
// ${XDG_CONFIG_HOME:-$HOME/.config}/quenlor/registry, for HKEY_CURRENT_USER, and one for the
// system, /etc/quenlor/registry, for HKEY_LOCAL_MACHINE (format: docs/language-modules.md).
// Key and value names are compared without regard to case, as the registry does.
#pragma once

#include "platform/win32.h"

namespace platform {

inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr DWORD KEY_QUERY_VALUE = 0x0001;
inline constexpr DWORD KEY_READ = 0x20019;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

// Opens an existing key (a section of the file, or a key that has such a section below it).
// ERROR_FILE_NOT_FOUND when the file or the key does not exist.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD access, HKEY* result);
// Copies the value's data into data (at most *dataSize bytes); *dataSize receives the size of
// the data. A null or empty name is the key's default value. Returns ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND or ERROR_MORE_DATA (then `data` is left as it was).
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                      unsigned char* data, DWORD* dataSize);
LONG RegCloseKey(HKEY key);

}  // namespace platform
