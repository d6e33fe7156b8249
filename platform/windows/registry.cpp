// Registry calls: the Win32 calls.
#include "platform/registry.h"

#include "win32_api.h"

namespace platform {

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD access, HKEY* result) {
  uintptr_t opened = 0;
  const long status = win32::OpenRegistryKey(key, subKey, options, access, &opened);
  if (result != nullptr) *result = static_cast<HKEY>(opened);
  return static_cast<LONG>(status);
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                      unsigned char* data, DWORD* dataSize) {
  static_assert(sizeof(DWORD) == sizeof(unsigned long), "DWORD has windows.h's shape here");
  return static_cast<LONG>(win32::QueryRegistryValue(
      key, valueName, reinterpret_cast<unsigned long*>(reserved),
      reinterpret_cast<unsigned long*>(type), data, reinterpret_cast<unsigned long*>(dataSize)));
}

LONG RegCloseKey(HKEY key) { return static_cast<LONG>(win32::CloseRegistryKey(key)); }

}  // namespace platform
