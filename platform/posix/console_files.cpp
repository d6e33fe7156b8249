// The console and file calls on POSIX descriptors.
#include "platform/console_files.h"
#include "platform/posix/descriptors.h"
#include "platform/posix/errno_codes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace platform {

ConsoleFunctions* ConsoleOverride = nullptr;

namespace {

thread_local DWORD LastErrorCode = ERROR_SUCCESS;

// errno values that a read, write, stat or close of a standard handle, or the opening of a named
// file, can produce, and the Win32 code each one stands for.
struct ErrnoMapping {
  int errnoValue;
  DWORD code;
};

constexpr ErrnoMapping ErrnoTable[] = {
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOSPC, ERROR_DISK_FULL},
    {EFBIG, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {EPIPE, ERROR_NO_DATA},           // the reader of the pipe has gone
    {ECONNRESET, ERROR_BROKEN_PIPE},  // a socket peer reset: end of input for a read
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_ACCESS_DENIED},
    {EIO, ERROR_IO_DEVICE},
    {ENXIO, ERROR_IO_DEVICE},
    {ENODEV, ERROR_IO_DEVICE},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EISDIR, ERROR_INVALID_FUNCTION},  // a directory read as a file
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {ENOBUFS, ERROR_NOT_ENOUGH_MEMORY},
    // A non-blocking descriptor is waited on with poll() before it is read or written again,
    // so this entry is only reached when that wait itself reports the descriptor unusable:
    // ERROR_NO_DATA is the Win32 answer for a pipe in non-blocking mode with nothing to give.
    {EAGAIN, ERROR_NO_DATA},
#if EWOULDBLOCK != EAGAIN
    {EWOULDBLOCK, ERROR_NO_DATA},
#endif
};

// A terminal says that its input has ended (Ctrl+D at the start of a line) with one read that
// brings nothing; a read after it would wait for more typing. Once seen, the end stays: every
// later read of that terminal's descriptor brings nothing at once, as a file at its end does.
// Kept for the descriptors below 64, the standard ones among them.
uint64_t TerminalsAtTheirEnd = 0;

bool TerminalEnded(int fd) { return fd >= 0 && fd < 64 && (TerminalsAtTheirEnd >> fd & 1) != 0; }

void NoteTerminalEnd(int fd) {
  if (fd >= 0 && fd < 64 && ::isatty(fd) == 1) TerminalsAtTheirEnd |= uint64_t{1} << fd;
}

void SetErrorFromErrno(int errnoValue) { LastErrorCode = Win32ErrorFromErrno(errnoValue); }

// Waits until a non-blocking descriptor is ready for `events`; false when the wait fails.
bool WaitUntilReady(int fd, short events) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int result = poll(&entry, 1, -1);
    if (result > 0) return true;  // ready, or hung up / in error: the retried call says which
    if (result < 0 && errno != EINTR) return false;
  }
}

// A write to a pipe whose reader has gone, or beyond the file-size limit, must fail with a code
// (232, 112), not end the process: both signals are ignored once, before the first write.
void IgnoreBrokenPipeSignal() {
  static const bool ignored = [] {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    const bool pipe = sigaction(SIGPIPE, &action, nullptr) == 0;
    const bool fileSize = sigaction(SIGXFSZ, &action, nullptr) == 0;
    return pipe && fileSize;
  }();
  (void)ignored;
}

HANDLE RealGetStdHandle(DWORD which) {
  int fd;
  if (which == STD_INPUT_HANDLE) {
    fd = 0;
  } else if (which == STD_OUTPUT_HANDLE) {
    fd = 1;
  } else if (which == STD_ERROR_HANDLE) {
    fd = 2;
  } else {
    LastErrorCode = ERROR_INVALID_HANDLE;
    return INVALID_HANDLE_VALUE;
  }
  if (fcntl(fd, F_GETFD) == -1) {
    LastErrorCode = ERROR_INVALID_HANDLE;
    return INVALID_HANDLE_VALUE;
  }
  return HandleOfDescriptor(fd);
}

bool IsDescriptor(HANDLE handle) {
  const auto value = reinterpret_cast<intptr_t>(handle);
  return value >= 0 && value <= 0x7FFFFFFF;
}

DWORD RealGetFileType(HANDLE handle) {
  if (!IsDescriptor(handle)) {
    LastErrorCode = ERROR_INVALID_HANDLE;
    return FILE_TYPE_UNKNOWN;
  }
  struct stat info {};
  if (fstat(DescriptorOfHandle(handle), &info) != 0) {
    SetErrorFromErrno(errno);
    return FILE_TYPE_UNKNOWN;
  }
  LastErrorCode = ERROR_SUCCESS;
  if (S_ISCHR(info.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode) || S_ISDIR(info.st_mode)) {
    return FILE_TYPE_DISK;
  }
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}

BOOL RealReadFile(HANDLE handle, void* buffer, DWORD size, DWORD* read) {
  if (read != nullptr) *read = 0;
  if (!IsDescriptor(handle)) {
    LastErrorCode = ERROR_INVALID_HANDLE;
    return FALSE_;
  }
  const int fd = DescriptorOfHandle(handle);
  if (TerminalEnded(fd)) return TRUE_;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got >= 0) {
      if (read != nullptr) *read = static_cast<DWORD>(got);
      if (got == 0 && size != 0) NoteTerminalEnd(fd);
      return TRUE_;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if ((error == EAGAIN || error == EWOULDBLOCK) && WaitUntilReady(fd, POLLIN)) continue;
    SetErrorFromErrno(error);
    return FALSE_;
  }
}

BOOL RealWriteFile(HANDLE handle, const void* buffer, DWORD size, DWORD* written) {
  if (written != nullptr) *written = 0;
  if (!IsDescriptor(handle)) {
    LastErrorCode = ERROR_INVALID_HANDLE;
    return FALSE_;
  }
  IgnoreBrokenPipeSignal();
  const int fd = DescriptorOfHandle(handle);
  const char* bytes = static_cast<const char*>(buffer);
  DWORD done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd, bytes + done, size - done);
    if (put > 0) {
      done += static_cast<DWORD>(put);
      if (written != nullptr) *written = done;
      continue;
    }
    if (put == 0) {
      // No progress and no error: the device takes nothing more. Fail rather than spin or
      // drop the rest silently.
      LastErrorCode = ERROR_WRITE_FAULT;
      return FALSE_;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if ((error == EAGAIN || error == EWOULDBLOCK) && WaitUntilReady(fd, POLLOUT)) continue;
    SetErrorFromErrno(error);
    return FALSE_;
  }
  return TRUE_;
}

BOOL RealCloseHandle(HANDLE handle) {
  if (!IsDescriptor(handle)) {
    LastErrorCode = ERROR_INVALID_HANDLE;
    return FALSE_;
  }
  const int fd = DescriptorOfHandle(handle);
  // The descriptor's number may come back for another file.
  if (fd >= 0 && fd < 64) TerminalsAtTheirEnd &= ~(uint64_t{1} << fd);
  // On Linux the descriptor is released even when close() is interrupted: never retry.
  if (::close(fd) != 0 && errno != EINTR) {
    SetErrorFromErrno(errno);
    return FALSE_;
  }
  return TRUE_;
}

}  // namespace

DWORD Win32ErrorFromErrno(int errnoValue) {
  for (const ErrnoMapping& entry : ErrnoTable) {
    if (entry.errnoValue == errnoValue) return entry.code;
  }
  return ERROR_GEN_FAILURE;
}

HANDLE GetStdHandle(DWORD which) {
  if (ConsoleOverride != nullptr) return ConsoleOverride->getStdHandle(which);
  return RealGetStdHandle(which);
}

DWORD GetFileType(HANDLE handle) {
  if (ConsoleOverride != nullptr) return ConsoleOverride->getFileType(handle);
  return RealGetFileType(handle);
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD size, DWORD* read) {
  if (ConsoleOverride != nullptr) return ConsoleOverride->readFile(handle, buffer, size, read);
  return RealReadFile(handle, buffer, size, read);
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD size, DWORD* written) {
  if (ConsoleOverride != nullptr) {
    return ConsoleOverride->writeFile(handle, buffer, size, written);
  }
  return RealWriteFile(handle, buffer, size, written);
}

BOOL CloseHandle(HANDLE handle) {
  if (ConsoleOverride != nullptr) return ConsoleOverride->closeHandle(handle);
  return RealCloseHandle(handle);
}

DWORD GetLastError() {
  if (ConsoleOverride != nullptr) return ConsoleOverride->getLastError();
  return LastErrorCode;
}

void SetLastError(DWORD code) {
  if (ConsoleOverride != nullptr) {
    ConsoleOverride->setLastError(code);
    return;
  }
  LastErrorCode = code;
}

void ExitProcess(UINT exitCode) {
  if (ConsoleOverride != nullptr) ConsoleOverride->exitProcess(exitCode);
  _exit(static_cast<int>(exitCode & 0xFF));
}

}  // namespace platform
