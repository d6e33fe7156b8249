// String tables: the program's own STRINGTABLE resource (string_table.rc) and language modules,
// which are resource-only DLLs loaded as data files. The Win32 calls.
#include "platform/string_tables.h"

#include "win32_api.h"

namespace platform {

int LoadStringA(HINSTANCE module, UINT id, char* buffer, int bufferMax) {
  return win32::LoadStringFrom(module, id, buffer, bufferMax);
}

HMODULE LoadLibraryExA(const char* fileName, HANDLE reserved, DWORD flags) {
  const auto module = static_cast<HMODULE>(win32::LoadAsData(fileName, reserved, flags));
  if (module == 0) return 0;
  // The system's string loader trusts the counts of a block: every block is checked once, here,
  // and a module with a malformed one is not used at all.
  if (!win32::StringBlocksWellFormed(module)) {
    win32::FreeLibrary(module);
    win32::SetLastError(ERROR_BAD_EXE_FORMAT);
    return 0;
  }
  return module;
}

BOOL FreeLibrary(HMODULE module) { return win32::FreeLibrary(module); }

void* GetProcAddress(HMODULE module, const char* name) { return win32::ProcAddress(module, name); }

}  // namespace platform
