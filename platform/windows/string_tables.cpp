// String tables: the program's own STRINGTABLE resource (string_table.rc) and language modules,
// which are resource-only DLLs loaded as data files. The Win32 calls.
#include "platform/string_tables.h"

#include "win32_api.h"

namespace platform {

int LoadStringA(HINSTANCE module, UINT id, char* buffer, int bufferMax) {
  return win32::LoadStringFrom(module, id, buffer, bufferMax);
}

HMODULE LoadLibraryExA(const char* fileName, HANDLE reserved, DWORD flags) {
  return static_cast<HMODULE>(win32::LoadAsData(fileName, reserved, flags));
}

BOOL FreeLibrary(HMODULE module) { return win32::FreeLibrary(module); }

void* GetProcAddress(HMODULE module, const char* name) { return win32::ProcAddress(module, name); }

}  // namespace platform
