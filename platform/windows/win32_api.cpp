// The Windows backend's thin calls into the system, one system function each (plain types in,
// plain types out). Only the backend's files that speak to the system include windows.h (this one,
// static_tls.cpp, the fault guard's and the raised records'); everything else reaches the system
// through win32_api.h, whose declarations do not clash with the Win32-shaped ones of platform/*.h.
#include "win32_api.h"

#include "string_blocks.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

namespace platform::win32 {

void* StdHandle(unsigned long which) { return ::GetStdHandle(which); }

unsigned long FileType(void* handle) { return ::GetFileType(handle); }

int ReadFile(void* handle, void* buffer, unsigned long size, unsigned long* read) {
  DWORD count = 0;
  const BOOL ok = ::ReadFile(handle, buffer, size, &count, nullptr);
  if (read != nullptr) *read = count;
  return ok;
}

int WriteFile(void* handle, const void* buffer, unsigned long size, unsigned long* written) {
  DWORD count = 0;
  const BOOL ok = ::WriteFile(handle, buffer, size, &count, nullptr);
  if (written != nullptr) *written = count;
  return ok;
}

int CloseHandle(void* handle) { return ::CloseHandle(handle); }

void* CreateFileHandle(const char* fileName, unsigned long desiredAccess, unsigned long shareMode,
                       unsigned long creationDisposition, unsigned long flagsAndAttributes) {
  return ::CreateFileA(fileName, desiredAccess, shareMode, nullptr, creationDisposition,
                       flagsAndAttributes, nullptr);
}

unsigned long MoveFilePointer(void* file, long distance, long* distanceHigh,
                              unsigned long moveMethod) {
  return ::SetFilePointer(file, distance, distanceHigh, moveMethod);
}

int EndFileHere(void* file) { return ::SetEndOfFile(file); }

unsigned long LastError() { return ::GetLastError(); }

void SetLastError(unsigned long code) { ::SetLastError(code); }

void ExitProcess(unsigned int exitCode) { ::ExitProcess(exitCode); }

uintptr_t ModuleHandle(const char* moduleName) {
  return reinterpret_cast<uintptr_t>(::GetModuleHandleA(moduleName));
}

unsigned long ModuleFileName(uintptr_t module, char* fileName, unsigned long size) {
  return ::GetModuleFileNameA(reinterpret_cast<HMODULE>(module), fileName, size);
}

size_t QueryRegion(const void* address, RegionInfo& info) {
  MEMORY_BASIC_INFORMATION region;
  std::memset(&region, 0, sizeof region);
  const SIZE_T size = ::VirtualQuery(address, &region, sizeof region);
  if (size == 0) return 0;
  info.baseAddress = region.BaseAddress;
  info.allocationBase = region.AllocationBase;
  info.allocationProtect = region.AllocationProtect;
  info.regionSize = region.RegionSize;
  info.state = region.State;
  info.protect = region.Protect;
  info.type = region.Type;
  return size;
}

void* LongPathNameFunction() {
  const HMODULE kernel = ::GetModuleHandleA("kernel32");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(kernel, "GetLongPathNameA"));
}

unsigned long CallLongPathName(void* function, const char* shortPath, char* longPath,
                               unsigned long size) {
  using LongPathCall = decltype(&::GetLongPathNameA);
  return reinterpret_cast<LongPathCall>(function)(shortPath, longPath, size);
}

bool FindFileName(const char* path, char* name, unsigned long size) {
  WIN32_FIND_DATAA found;
  std::memset(&found, 0, sizeof found);
  const HANDLE search = ::FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  const size_t length = std::strlen(found.cFileName);
  if (size == 0 || length >= size) return false;
  std::memcpy(name, found.cFileName, length + 1);
  return true;
}

const char* NextChar(const char* text) { return ::CharNextA(text); }

int LoadStringFrom(uintptr_t module, unsigned int id, char* buffer, int bufferMax) {
  return ::LoadStringA(reinterpret_cast<HINSTANCE>(module), id, buffer, bufferMax);
}

namespace {

struct BlockCheck {
  bool wellFormed = true;
};

BOOL CALLBACK CheckBlockLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                                 LONG_PTR context) {
  auto* check = reinterpret_cast<BlockCheck*>(context);
  const HRSRC found = ::FindResourceExA(module, type, name, language);
  const DWORD size = found != nullptr ? ::SizeofResource(module, found) : 0;
  const HGLOBAL loaded = found != nullptr ? ::LoadResource(module, found) : nullptr;
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (!StringBlockWellFormed(data, size)) check->wellFormed = false;
  return check->wellFormed;  // the first malformed block ends the check
}

BOOL CALLBACK CheckBlock(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context) {
  auto* check = reinterpret_cast<BlockCheck*>(context);
  if (!::EnumResourceLanguagesA(module, type, name, &CheckBlockLanguage, context) &&
      check->wellFormed) {
    check->wellFormed = false;  // a block whose languages cannot be listed is not used either
  }
  return check->wellFormed;
}

}  // namespace

bool StringBlocksWellFormed(uintptr_t module) {
  BlockCheck check;
  const HMODULE handle = reinterpret_cast<HMODULE>(module);
  ::SetLastError(ERROR_SUCCESS);
  if (!::EnumResourceNamesA(handle, MAKEINTRESOURCEA(6) /* RT_STRING */, &CheckBlock,
                            reinterpret_cast<LONG_PTR>(&check))) {
    // No string table at all has no malformed block; any other failure of the listing leaves
    // the module unchecked, and so unused.
    const DWORD error = ::GetLastError();
    if (check.wellFormed && error != ERROR_RESOURCE_TYPE_NOT_FOUND &&
        error != ERROR_RESOURCE_DATA_NOT_FOUND) {
      check.wellFormed = false;
    }
  }
  return check.wellFormed;
}

uintptr_t LoadAsData(const char* fileName, void* reserved, unsigned long flags) {
  return reinterpret_cast<uintptr_t>(::LoadLibraryExA(fileName, reserved, flags));
}

int FreeLibrary(uintptr_t module) { return ::FreeLibrary(reinterpret_cast<HMODULE>(module)); }

void* ProcAddress(uintptr_t module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

long OpenRegistryKey(uintptr_t key, const char* subKey, unsigned long options, unsigned long access,
                     uintptr_t* result) {
  // The predefined keys are 32-bit values that windows.h sign-extends to the pointer's width.
  HKEY root = reinterpret_cast<HKEY>(key);
  if (key >= 0x80000000u && key <= 0x8000000Fu) {
    root = reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(key)));
  }
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExA(root, subKey, options, access, &opened);
  if (result != nullptr) *result = reinterpret_cast<uintptr_t>(opened);
  return status;
}

long QueryRegistryValue(uintptr_t key, const char* valueName, unsigned long* reserved,
                        unsigned long* type, unsigned char* data, unsigned long* dataSize) {
  return ::RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName, reserved, type, data, dataSize);
}

long CloseRegistryKey(uintptr_t key) { return ::RegCloseKey(reinterpret_cast<HKEY>(key)); }

unsigned long ThreadLocale() { return ::GetThreadLocale(); }

int LocaleInfo(unsigned long locale, unsigned long type, char* data, int size) {
  return ::GetLocaleInfoA(locale, type, data, size);
}

int KeyboardType(int typeFlag) { return ::GetKeyboardType(typeFlag); }

int ConvertToOem(const char* source, char* destination) {
  return ::CharToOemA(source, destination);
}

void ReserveStackForFaults() {
  ULONG guarantee = 64 * 1024;
  ::SetThreadStackGuarantee(&guarantee);
}

void SetBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace platform::win32
