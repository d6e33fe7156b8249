// The console and file calls: the Win32 calls themselves.
#include "platform/console_files.h"

#include "win32_api.h"

namespace platform {

ConsoleFunctions* ConsoleOverride = nullptr;

HANDLE GetStdHandle(DWORD which) {
  if (ConsoleOverride != nullptr) return ConsoleOverride->getStdHandle(which);
  return win32::StdHandle(which);
}

DWORD GetFileType(HANDLE handle) {
  if (ConsoleOverride != nullptr) return ConsoleOverride->getFileType(handle);
  return win32::FileType(handle);
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD size, DWORD* read) {
  if (ConsoleOverride != nullptr) return ConsoleOverride->readFile(handle, buffer, size, read);
  unsigned long count = 0;
  const BOOL ok = win32::ReadFile(handle, buffer, size, &count);
  if (read != nullptr) *read = static_cast<DWORD>(count);
  return ok;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD size, DWORD* written) {
  if (ConsoleOverride != nullptr) {
    return ConsoleOverride->writeFile(handle, buffer, size, written);
  }
  unsigned long count = 0;
  const BOOL ok = win32::WriteFile(handle, buffer, size, &count);
  if (written != nullptr) *written = static_cast<DWORD>(count);
  return ok;
}

BOOL CloseHandle(HANDLE handle) {
  if (ConsoleOverride != nullptr) return ConsoleOverride->closeHandle(handle);
  return win32::CloseHandle(handle);
}

DWORD GetLastError() {
  if (ConsoleOverride != nullptr) return ConsoleOverride->getLastError();
  return static_cast<DWORD>(win32::LastError());
}

void SetLastError(DWORD code) {
  if (ConsoleOverride != nullptr) {
    ConsoleOverride->setLastError(code);
    return;
  }
  win32::SetLastError(code);
}

void ExitProcess(UINT exitCode) {
  if (ConsoleOverride != nullptr) ConsoleOverride->exitProcess(exitCode);
  win32::ExitProcess(exitCode);
}

}  // namespace platform
