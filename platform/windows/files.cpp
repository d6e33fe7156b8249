// File names and paths: the Win32 calls. GetLongPathNameA is found by name in kernel32, so that
// the program also starts on systems without it; where it is missing or fails, the long form is
// rebuilt component by component.
#include "platform/files.h"

#include <cstring>

#include "long_path.h"
#include "win32_api.h"

namespace platform {
namespace {

bool IsBackslash(char c) { return c == '\\'; }

// The length of the path's root, which is kept as it is; 0 for a path that stays unchanged.
size_t RootLength(const char* path) {
  if (IsBackslash(path[0])) {
    if (!IsBackslash(path[1])) return 0;  // "\dir\file": relative to the current drive
    // "\\server\share": both parts present, or nothing is changed.
    const char* c = path + 2;
    int separators = 0;
    const char* shareStart = nullptr;
    for (; *c != '\0'; c = win32::NextChar(c)) {
      if (IsBackslash(*c)) {
        if (++separators == 1) {
          shareStart = c + 1;
          continue;
        }
        break;
      }
    }
    if (shareStart == nullptr || shareStart == path + 3 || c == shareStart) return 0;
    return static_cast<size_t>(c - path);
  }
  if (path[0] == '\0' || path[1] == '\0') return 0;
  return 2;  // the drive: "C:"
}

DWORD CopyUnchanged(const char* path, char* longPath, DWORD size) {
  const size_t length = std::strlen(path);
  if (length >= size) return 0;
  std::memcpy(longPath, path, length + 1);
  return static_cast<DWORD>(length);
}

}  // namespace

DWORD LongPathByComponents(const char* path, char* longPath, DWORD size) {
  if (path == nullptr || longPath == nullptr || size == 0) return 0;
  const size_t root = RootLength(path);
  if (root == 0) return CopyUnchanged(path, longPath, size);
  char built[MAX_PATH + 1];
  if (root > MAX_PATH) return CopyUnchanged(path, longPath, size);
  std::memcpy(built, path, root);
  size_t length = root;
  const char* c = path + root;
  while (*c != '\0') {
    if (IsBackslash(*c)) {
      if (length + 1 > MAX_PATH) return CopyUnchanged(path, longPath, size);
      built[length++] = '\\';
      ++c;
      continue;
    }
    // One component: up to the next backslash or the end.
    const char* end = c;
    while (*end != '\0' && !IsBackslash(*end)) end = win32::NextChar(end);
    const size_t componentLength = static_cast<size_t>(end - c);
    if (std::memchr(c, '*', componentLength) != nullptr ||
        std::memchr(c, '?', componentLength) != nullptr || length + componentLength > MAX_PATH) {
      return CopyUnchanged(path, longPath, size);
    }
    char query[MAX_PATH + 1];
    std::memcpy(query, built, length);
    std::memcpy(query + length, c, componentLength);
    query[length + componentLength] = '\0';
    char name[MAX_PATH + 1];
    if (!win32::FindFileName(query, name, sizeof name)) return CopyUnchanged(path, longPath, size);
    const size_t nameLength = std::strlen(name);
    if (length + nameLength > MAX_PATH) return CopyUnchanged(path, longPath, size);
    std::memcpy(built + length, name, nameLength);
    length += nameLength;
    c = end;
  }
  built[length] = '\0';
  if (length >= size) return CopyUnchanged(path, longPath, size);
  std::memcpy(longPath, built, length + 1);
  return static_cast<DWORD>(length);
}

DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size) {
  static void* const systemCall = win32::LongPathNameFunction();
  if (systemCall != nullptr) {
    const unsigned long length = win32::CallLongPathName(systemCall, shortPath, longPath, size);
    if (length != 0 && length < size) return static_cast<DWORD>(length);
  }
  return LongPathByComponents(shortPath, longPath, size);
}

const char* CharNextA(const char* text) { return win32::NextChar(text); }

HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void*,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  return win32::CreateFileHandle(fileName, desiredAccess, shareMode, creationDisposition,
                                 flagsAndAttributes);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
  return static_cast<DWORD>(win32::MoveFilePointer(file, distance, distanceHigh, moveMethod));
}

BOOL SetEndOfFile(HANDLE file) { return win32::EndFileHere(file); }

}  // namespace platform
