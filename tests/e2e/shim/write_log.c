/* Test shim, preloaded into the program under test: logs each write() call as "fd size" to the
   file named by FRAMECALC_WRITE_LOG, so a test can count the program's write calls. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

static int log_fd = -2;

ssize_t write(int fd, const void* buf, size_t count) {
  if (log_fd == -2) {
    const char* path = getenv("FRAMECALC_WRITE_LOG");
    log_fd = path ? (int)syscall(SYS_open, path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600) : -1;
  }
  ssize_t result = (ssize_t)syscall(SYS_write, fd, buf, count);
  if (log_fd >= 0 && fd != log_fd) {
    char line[64];
    int n = snprintf(line, sizeof line, "%d %ld\n", fd, (long)count);
    if (n > 0) syscall(SYS_write, log_fd, line, (size_t)n);
  }
  return result;
}
