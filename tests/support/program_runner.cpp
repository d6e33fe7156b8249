#include "support/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace e2e {

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

// The build's program, unless the environment names another build of it: FRAMECALC_PROGRAM is
// its path and FRAMECALC_PROGRAM_RUNNER, when set, the command that starts it (the Windows build
// runs under tools/wine-run.sh with the same tests).
std::string ProgramPath() {
  const char* other = std::getenv("FRAMECALC_PROGRAM");
  return other != nullptr && other[0] != '\0' ? other : FRAMECALC_PROGRAM;
}

std::string ModuleName() {
  const std::string path = ProgramPath();
  return path.substr(path.find_last_of('/') + 1);
}

std::string ModulePattern() {
  std::string pattern;
  for (char c : ModuleName()) {
    if (std::strchr(".^$|()[]{}*+?\\", c) != nullptr) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

namespace {

std::string FirstLineOf(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  std::string text;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) text += line;
  pclose(pipe);
  return text;
}

}  // namespace

namespace {

bool IsWindowsImage(const std::string& program) {
  return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

// The binary tools for the program's kind: the cross tools' prefix for a Windows image.
std::string BinaryTools(const std::string& program) {
  if (!IsWindowsImage(program)) return "";
  const char* prefix = std::getenv("FRAMECALC_BINUTILS_PREFIX");
  return prefix != nullptr ? prefix : "i686-w64-mingw32-";
}

// The preferred load address of a Windows image (where it is loaded: nothing is relocated).
unsigned long long ImageBase(const std::string& program) {
  const std::string headers =
      FirstLineOf(BinaryTools(program) + "objdump -p '" + program + "' 2>/dev/null");
  const size_t at = headers.find("ImageBase");
  if (at == std::string::npos) return 0;
  const size_t digits = headers.find_first_of("0123456789abcdefABCDEF", at + 9);
  return digits == std::string::npos ? 0 : std::strtoull(headers.c_str() + digits, nullptr, 16);
}

}  // namespace

std::string RuntimeErrorFormOf(const std::string& relativeHex) {
  const std::string program = ProgramPath();
  if (!IsWindowsImage(program)) return relativeHex;
  const unsigned long long absolute =
      ImageBase(program) + std::strtoull(relativeHex.c_str(), nullptr, 16);
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08llX", absolute & 0xFFFFFFFFull);
  return hex;
}

std::string SourceLineOf(const std::string& reportedHex) {
  const std::string program = ProgramPath();
  unsigned long long address = std::strtoull(reportedHex.c_str(), nullptr, 16);
  const std::string tools = BinaryTools(program);
  if (IsWindowsImage(program)) {
    // The report is relative to the image base; the binary tools take the virtual address.
    const unsigned long long base = ImageBase(program);
    if (base == 0) return "";
    address += base;
  }
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%llx", address);
  const std::string answer =
      FirstLineOf(tools + "addr2line -e '" + program + "' " + hex + " 2>/dev/null");
  return answer.substr(0, answer.find('\n'));
}

std::string ProgramRunner() {
  const char* runner = std::getenv("FRAMECALC_PROGRAM_RUNNER");
  return runner != nullptr ? runner : "";
}

std::string X87Deviation(const std::string& detail) {
  const char* findings = std::getenv("FRAMECALC_X87_FINDINGS");
  if (findings == nullptr || findings[0] == '\0') return "";
  std::istringstream lines(ReadWholeFile(findings));
  const std::string deviates = detail + ": deviates: ";
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(deviates, 0) == 0) return line.substr(deviates.size());
  }
  return "";
}

std::vector<std::string> WriteTracerArguments(const std::string& logPath) {
  // -s 0 leaves the written bytes out of the log; -qq and -e signal=none leave only the calls.
  return {FRAMECALC_STRACE, "-qq", "-s",    "0", "-e", "trace=write", "-e",
          "signal=none",    "-o",  logPath, "--"};
}

std::vector<WriteCall> ReadWriteLog(const std::string& logPath) {
  // Each line is a call: write(FD, ""..., COUNT) = RESULT
  std::vector<WriteCall> calls;
  std::istringstream log(ReadWholeFile(logPath));
  std::string line;
  while (std::getline(log, line)) {
    if (line.rfind("write(", 0) != 0) continue;
    const size_t close = line.find(") ");
    const size_t comma = line.rfind(", ", close);
    if (close == std::string::npos || comma == std::string::npos) continue;
    WriteCall call;
    call.fd = std::atoi(line.c_str() + 6);
    call.size = std::atol(line.c_str() + comma + 2);
    calls.push_back(call);
  }
  return calls;
}

std::string CrLf(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

std::string DialoguePrompts(const std::string& answer) {
  return CrLf(
      "Enter the X coordinate of point A: \n"
      "Enter the Y coordinate of point A: \n"
      "\n"
      "Enter the X coordinate of point B: \n"
      "Enter the Y coordinate of point B: \n"
      "\n"
      "Choose a well-known coordinate of the map frame corner <X/Y> \n"
      "\n"
      "Enter the " +
      answer + " coordinate of the map frame corner\n");
}

std::string DialogueTranscript(const std::string& answer, const std::string& xLine,
                               const std::string& yLine) {
  return DialoguePrompts(answer) + CrLf("\n\n\n\nThe coordinate: \n" + xLine + "\n" + yLine +
                                        "\n\n\n\n\n\n\n*Press Enter to exit*\n");
}

std::string ReportPattern(const std::string& text) {
  std::string pattern;
  for (char c : text) {
    if (c == '#') {
      pattern += "[0-9A-F]";
    } else if (std::string(".^$|()[]{}*+?\\").find(c) != std::string::npos) {
      pattern += '\\';
      pattern += c;
    } else {
      pattern += c;
    }
  }
  return pattern;
}

std::string MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "framecalc-e2e-XXXXXX").string();
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  return pattern;
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

// Whether the process waits in a read of descriptor 0 (the system call's number and its first
// argument, as /proc shows them for a blocked process).
bool WaitsInReadOfStandardInput(pid_t pid) {
  std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
  std::string number, descriptor;
  syscall >> number >> descriptor;
  return number == std::to_string(SYS_read) && descriptor == "0x0";
}

RunResult RunProgram(const RunOptions& options) {
  // The program may end before it has read all of its input: a write to its closed input pipe
  // must fail here, not end the test.
  signal(SIGPIPE, SIG_IGN);
  RunResult result;
  const std::string scratch = MakeTempDir();
  const std::string outFile = scratch + "/stdout";
  int unshrinkable = -1;
  if (options.output == OutputKind::UnshrinkableFile) {
    unshrinkable = memfd_create("stdout", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    Check(unshrinkable >= 0 && fcntl(unshrinkable, F_ADD_SEALS, F_SEAL_SHRINK) == 0, "memfd");
  }
  const std::string writeLog = scratch + "/writes";

  int inPipe[2] = {-1, -1}, outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  if (options.input == InputKind::Bytes) Check(pipe2(inPipe, O_CLOEXEC) == 0, "pipe");
  if (options.output == OutputKind::Pipe || options.output == OutputKind::BrokenPipe) {
    Check(pipe2(outPipe, O_CLOEXEC) == 0, "pipe");
  }
  if (options.output == OutputKind::BrokenPipe) {
    // The reader is gone before the program starts: closed after the fork, it could still be
    // open when a quick program writes, and the write would then succeed.
    close(outPipe[0]);
    outPipe[0] = -1;
  }
  Check(pipe2(errPipe, O_CLOEXEC) == 0, "pipe");

  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    bool drop = options.environment.count(name) > 0;
    for (const auto& unset : options.unsetEnvironment) drop = drop || unset == name;
    if (!drop) envStrings.push_back(entry);
  }
  for (const auto& [name, value] : options.environment) envStrings.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  const std::string runner = options.direct ? std::string() : ProgramRunner();
  std::vector<std::string> argStrings;
  if (options.countWrites) argStrings = WriteTracerArguments(writeLog);
  if (!runner.empty()) argStrings.push_back(runner);
  argStrings.push_back(options.program);
  argStrings.insert(argStrings.end(), options.arguments.begin(), options.arguments.end());
  std::vector<char*> argv;
  for (auto& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  Check(pid >= 0, "fork");
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    switch (options.input) {
      case InputKind::Bytes:
        dup2(inPipe[0], 0);
        break;
      case InputKind::Closed:
        close(0);
        break;
      case InputKind::DevNull: {
        int fd = open("/dev/null", O_RDONLY);
        dup2(fd, 0);
        if (fd != 0) close(fd);
        break;
      }
    }
    switch (options.output) {
      case OutputKind::Pipe:
      case OutputKind::BrokenPipe:
        dup2(outPipe[1], 1);
        break;
      case OutputKind::UnshrinkableFile:
        dup2(unshrinkable, 1);
        break;
      case OutputKind::File: {
        int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        if (fd != 1) close(fd);
        break;
      }
      case OutputKind::Closed:
        close(1);
        break;
      case OutputKind::DevFull: {
        int fd = open("/dev/full", O_WRONLY);
        dup2(fd, 1);
        if (fd != 1) close(fd);
        break;
      }
    }
    dup2(errPipe[1], 2);
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
      _exit(126);
    if (options.fileSizeLimit >= 0) {
      const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                         static_cast<rlim_t>(options.fileSizeLimit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    if (!options.blockedSignals.empty()) {
      sigset_t blocked;
      sigemptyset(&blocked);
      for (int number : options.blockedSignals) sigaddset(&blocked, number);
      sigprocmask(SIG_BLOCK, &blocked, nullptr);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }

  if (inPipe[0] >= 0) close(inPipe[0]);
  if (outPipe[1] >= 0) close(outPipe[1]);
  close(errPipe[1]);

  size_t written = 0;
  bool inputHeld = options.beforeInput && inPipe[1] >= 0;
  if (inPipe[1] >= 0 && options.stdinBytes.empty() && !inputHeld) {
    close(inPipe[1]);
    inPipe[1] = -1;
  }
  if (inPipe[1] >= 0) fcntl(inPipe[1], F_SETFL, O_NONBLOCK);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  while (outPipe[0] >= 0 || errPipe[0] >= 0 || inPipe[1] >= 0) {
    pollfd fds[3];
    int n = 0;
    if (outPipe[0] >= 0) fds[n++] = {outPipe[0], POLLIN, 0};
    if (errPipe[0] >= 0) fds[n++] = {errPipe[0], POLLIN, 0};
    if (inputHeld && (n == 0 || WaitsInReadOfStandardInput(pid))) {
      inputHeld = false;
      options.beforeInput(static_cast<int>(pid));
      if (options.stdinBytes.empty()) {
        close(inPipe[1]);
        inPipe[1] = -1;
      }
    }
    if (inPipe[1] >= 0 && !inputHeld) fds[n++] = {inPipe[1], POLLOUT, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    // While the input is held, the program is looked at every few milliseconds.
    const int wait = inputHeld ? 5 : static_cast<int>(left);
    if (poll(fds, static_cast<nfds_t>(n), wait) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == inPipe[1]) {
        ssize_t w = write(inPipe[1], options.stdinBytes.data() + written,
                          options.stdinBytes.size() - written);
        if (w > 0) written += static_cast<size_t>(w);
        if (w < 0 && errno != EAGAIN) written = options.stdinBytes.size();
        if (written >= options.stdinBytes.size()) {
          close(inPipe[1]);
          inPipe[1] = -1;
        }
        continue;
      }
      char buffer[4096];
      ssize_t r = read(fds[i].fd, buffer, sizeof buffer);
      std::string& sink = fds[i].fd == errPipe[0] ? result.err : result.out;
      if (r > 0) {
        sink.append(buffer, static_cast<size_t>(r));
      } else if (r == 0 || errno != EINTR) {
        close(fds[i].fd);
        if (fds[i].fd == outPipe[0]) outPipe[0] = -1;
        if (fds[i].fd == errPipe[0]) errPipe[0] = -1;
      }
    }
  }
  for (int fd : {inPipe[1], outPipe[0], errPipe[0]}) {
    if (fd >= 0) close(fd);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  if (options.output == OutputKind::File) result.out = ReadWholeFile(outFile);
  if (unshrinkable >= 0) {
    char buffer[4096];
    ssize_t got = 0;
    for (off_t at = 0; (got = pread(unshrinkable, buffer, sizeof buffer, at)) > 0; at += got) {
      result.out.append(buffer, static_cast<size_t>(got));
    }
    close(unshrinkable);
  }
  if (options.countWrites) result.writes = ReadWriteLog(writeLog);
  RemoveTree(scratch);
  return result;
}

}  // namespace e2e
