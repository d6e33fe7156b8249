// File names and paths on POSIX.

#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/console_files.h"
#include "platform/posix/descriptors.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/small_files.h"

namespace platform {

DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size) {
  if (shortPath == nullptr || shortPath[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  char* resolved = ::realpath(shortPath, nullptr);
  if (resolved == nullptr) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND
                 : errno == EACCES                  ? ERROR_ACCESS_DENIED
                                                    : ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t length = std::strlen(resolved);
  DWORD result = 0;
  if (longPath != nullptr && length < size) {
    std::memcpy(longPath, resolved, length + 1);
    result = static_cast<DWORD>(length);
  } else {
    result = static_cast<DWORD>(length + 1);
  }
  std::free(resolved);
  return result;
}

const char* CharNextA(const char* text) { return *text != '\0' ? text + 1 : text; }

HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD /*shareMode*/,
                   void* /*securityAttributes*/, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
  if (fileName == nullptr || fileName[0] == '\0' || desiredAccess != GENERIC_READ ||
      creationDisposition != OPEN_EXISTING) {
    SetLastError(fileName != nullptr && fileName[0] == '\0' ? ERROR_PATH_NOT_FOUND
                                                             : ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  int fd = -1;
  do {
    fd = ::open(fileName, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return HandleOfDescriptor(fd);
}

namespace posix_detail {

bool ReadSmallFile(const char* path, size_t limit, std::string& contents) {
  contents.clear();
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
            static_cast<unsigned long long>(info.st_size) <= limit;
  if (ok) {
    try {
      // One byte more than fstat saw, so that a file that grew meanwhile is noticed and not
      // taken half-read.
      const size_t expected = static_cast<size_t>(info.st_size);
      contents.resize(expected + 1);
      size_t size = 0;
      while (size < contents.size()) {
        const ssize_t got = ::read(fd, contents.data() + size, contents.size() - size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        size += static_cast<size_t>(got);
      }
      if (size > expected) ok = false;
      contents.resize(ok ? size : 0);
    } catch (const std::bad_alloc&) {
      contents.clear();
      ok = false;
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace posix_detail
}  // namespace platform
