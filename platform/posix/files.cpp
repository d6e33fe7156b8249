// File names and paths on POSIX.

#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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
                 : errno == EACCES                   ? ERROR_ACCESS_DENIED
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

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
  const int fd = DescriptorOfHandle(file);
  // With a high part the distance is 64 bits; without one it is the signed 32-bit distance.
  const int64_t offset =
      distanceHigh != nullptr
          ? static_cast<int64_t>((uint64_t{static_cast<uint32_t>(*distanceHigh)} << 32) |
                                 static_cast<uint32_t>(distance))
          : int64_t{distance};
  const int whence = moveMethod == FILE_BEGIN     ? SEEK_SET
                     : moveMethod == FILE_CURRENT ? SEEK_CUR
                     : moveMethod == FILE_END     ? SEEK_END
                                                  : -1;
  struct stat info {};
  if (whence < 0 || fd < 0) {
    SetLastError(whence < 0 ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  if (::fstat(fd, &info) != 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (!S_ISREG(info.st_mode)) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return INVALID_SET_FILE_POINTER;
  }
  const off_t position = ::lseek(fd, static_cast<off_t>(offset), whence);
  if (position < 0) {
    SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : Win32ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh != nullptr) {
    *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
  }
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(static_cast<uint64_t>(position) & 0xFFFFFFFFu);
}

BOOL SetEndOfFile(HANDLE file) {
  const int fd = DescriptorOfHandle(file);
  const off_t position = fd >= 0 ? ::lseek(fd, 0, SEEK_CUR) : -1;
  if (position < 0) {
    SetLastError(fd < 0 ? ERROR_INVALID_HANDLE : Win32ErrorFromErrno(errno));
    return FALSE_;
  }
  int result;
  do {
    result = ::ftruncate(fd, position);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return FALSE_;
  }
  return TRUE_;
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
