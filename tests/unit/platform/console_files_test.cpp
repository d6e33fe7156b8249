// The console calls on real POSIX descriptors.
#include "platform/console_files.h"
#include "platform/posix/descriptors.h"
#include "platform/posix/errno_codes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using namespace platform;

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (pipe(fds) == 0) {
      read = fds[0];
      write = fds[1];
    }
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (read >= 0) close(read);
    read = -1;
  }
  void CloseWrite() {
    if (write >= 0) close(write);
    write = -1;
  }
};

TEST(ConsoleFiles, FileTypesOfDescriptors) {
  Pipe pipe;
  ASSERT_GE(pipe.read, 0);
  EXPECT_EQ(GetFileType(HandleOfDescriptor(pipe.read)), FILE_TYPE_PIPE);
  EXPECT_EQ(GetFileType(HandleOfDescriptor(pipe.write)), FILE_TYPE_PIPE);

  const int devNull = open("/dev/null", O_WRONLY);
  ASSERT_GE(devNull, 0);
  EXPECT_EQ(GetFileType(HandleOfDescriptor(devNull)), FILE_TYPE_CHAR);
  close(devNull);

  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(GetFileType(HandleOfDescriptor(fileno(file))), FILE_TYPE_DISK);
  std::fclose(file);

  const int directory = open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(directory, 0);
  EXPECT_EQ(GetFileType(HandleOfDescriptor(directory)), FILE_TYPE_DISK);
  close(directory);

  // A descriptor that is not open cannot be examined.
  const int closed = dup(pipe.read);
  close(closed);
  EXPECT_EQ(GetFileType(HandleOfDescriptor(closed)), FILE_TYPE_UNKNOWN);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ConsoleFiles, StandardHandleThatIsNotOpenIsInvalid) {
  const int saved = dup(0);
  ASSERT_GE(saved, 0);
  close(0);
  SetLastError(0);
  const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
  const DWORD error = GetLastError();
  dup2(saved, 0);
  close(saved);
  EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(error, ERROR_INVALID_HANDLE);

  EXPECT_EQ(GetStdHandle(STD_INPUT_HANDLE), HandleOfDescriptor(0));
  EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), HandleOfDescriptor(1));
  EXPECT_EQ(GetStdHandle(STD_ERROR_HANDLE), HandleOfDescriptor(2));
  EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-13)), INVALID_HANDLE_VALUE);
}

TEST(ConsoleFiles, ReadDeliversWhatOneReadGivesThenEndOfInput) {
  Pipe pipe;
  DWORD count = 0;
  ASSERT_EQ(WriteFile(HandleOfDescriptor(pipe.write), "abc", 3, &count), TRUE_);
  EXPECT_EQ(count, 3u);
  char buffer[128];
  ASSERT_EQ(ReadFile(HandleOfDescriptor(pipe.read), buffer, sizeof buffer, &count), TRUE_);
  EXPECT_EQ(std::string(buffer, count), "abc");
  pipe.CloseWrite();
  count = 99;
  EXPECT_EQ(ReadFile(HandleOfDescriptor(pipe.read), buffer, sizeof buffer, &count), TRUE_);
  EXPECT_EQ(count, 0u);
}

TEST(ConsoleFiles, WriteToAPipeWithoutReaderFailsWith232AndTheProcessLives) {
  Pipe pipe;
  pipe.CloseRead();
  DWORD written = 77;
  EXPECT_EQ(WriteFile(HandleOfDescriptor(pipe.write), "lost", 4, &written), FALSE_);
  EXPECT_EQ(GetLastError(), ERROR_NO_DATA);
  EXPECT_EQ(written, 0u);
  struct sigaction current {};
  sigaction(SIGPIPE, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_IGN);
}

TEST(ConsoleFiles, ShortWritesToANonBlockingPipeAreContinued) {
  Pipe pipe;
  fcntl(pipe.write, F_SETPIPE_SZ, 4096);
  fcntl(pipe.write, F_SETFL, fcntl(pipe.write, F_GETFL) | O_NONBLOCK);
  std::string data;
  for (int i = 0; i < 200000; ++i) data += static_cast<char>('A' + i % 23);

  std::string received;
  std::thread reader([&] {
    char chunk[1000];
    for (;;) {
      const ssize_t got = read(pipe.read, chunk, sizeof chunk);
      if (got <= 0) break;
      received.append(chunk, static_cast<size_t>(got));
    }
  });
  DWORD written = 0;
  const BOOL ok = WriteFile(HandleOfDescriptor(pipe.write), data.data(),
                            static_cast<DWORD>(data.size()), &written);
  pipe.CloseWrite();
  reader.join();
  EXPECT_EQ(ok, TRUE_);
  EXPECT_EQ(written, data.size());
  EXPECT_EQ(received, data);
}

TEST(ConsoleFiles, ReadOfAnEmptyNonBlockingPipeWaitsForData) {
  Pipe pipe;
  fcntl(pipe.read, F_SETFL, fcntl(pipe.read, F_GETFL) | O_NONBLOCK);
  std::thread writer([&] {
    usleep(20000);
    (void)!write(pipe.write, "late", 4);
  });
  char buffer[16];
  DWORD count = 0;
  const BOOL ok = ReadFile(HandleOfDescriptor(pipe.read), buffer, sizeof buffer, &count);
  writer.join();
  EXPECT_EQ(ok, TRUE_);
  EXPECT_EQ(std::string(buffer, count), "late");
}

TEST(ConsoleFiles, DeviceErrorsBecomeWin32Codes) {
  const int full = open("/dev/full", O_WRONLY);
  if (full >= 0) {
    DWORD written = 0;
    EXPECT_EQ(WriteFile(HandleOfDescriptor(full), "x", 1, &written), FALSE_);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    close(full);
  }

  const int directory = open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(directory, 0);
  char buffer[8];
  DWORD count = 0;
  EXPECT_EQ(ReadFile(HandleOfDescriptor(directory), buffer, sizeof buffer, &count), FALSE_);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  close(directory);

  Pipe pipe;
  const int closed = dup(pipe.write);
  close(closed);
  EXPECT_EQ(WriteFile(HandleOfDescriptor(closed), "x", 1, &count), FALSE_);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(ReadFile(HandleOfDescriptor(closed), buffer, sizeof buffer, &count), FALSE_);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ConsoleFiles, ErrnoValuesThatCannotBeProvokedHereMapToTheSameCodes) {
  struct Case {
    int errnoValue;
    DWORD code;
  };
  for (const Case& c :
       {Case{EACCES, 5}, Case{EPERM, 5}, Case{EIO, 1117}, Case{EFBIG, 112}, Case{EDQUOT, 112},
        Case{ENOSPC, 112}, Case{EPIPE, 232}, Case{EINVAL, 87}, Case{ELOOP, ERROR_GEN_FAILURE}}) {
    EXPECT_EQ(Win32ErrorFromErrno(c.errnoValue), c.code) << "errno " << c.errnoValue;
  }
}

TEST(ConsoleFiles, LastErrorIsPerThread) {
  SetLastError(ERROR_DISK_FULL);
  DWORD seen = 1;
  std::thread other([&] { seen = GetLastError(); });
  other.join();
  EXPECT_EQ(seen, 0u);
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
}

TEST(ConsoleFiles, ExitProcessEndsAtOnceWithTheCodeAndFlushesNothing) {
  Pipe pipe;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(pipe.write, 1);
    std::fputs("buffered by the C library", stdout);  // must never appear
    ExitProcess(42);
  }
  pipe.CloseWrite();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 42);
  char buffer[64];
  EXPECT_EQ(read(pipe.read, buffer, sizeof buffer), 0);
}

}  // namespace
