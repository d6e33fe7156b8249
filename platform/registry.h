// Registry calls. On POSIX the registry is a small configuration file per user and one for the
// system (see platform/posix/registry.cpp).
#pragma once

#include "platform/win32.h"

namespace platform {

inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr DWORD KEY_QUERY_VALUE = 0x0001;
inline constexpr DWORD KEY_READ = 0x20019;

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD access, HKEY* result);
// Copies the value's data into data (at most *dataSize bytes); *dataSize receives the size of
// the data. Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND or ERROR_MORE_DATA.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                      unsigned char* data, DWORD* dataSize);
LONG RegCloseKey(HKEY key);

}  // namespace platform
