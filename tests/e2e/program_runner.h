// Runs a built program as a user would: bytes on standard input, everything it writes on standard
// output and standard error, and how it ended.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

enum class InputKind { Bytes, Closed, DevNull };
enum class OutputKind { Pipe, File, Closed, DevFull, BrokenPipe };

struct RunOptions {
  std::string program;                 // path of the executable
  std::vector<std::string> arguments;  // after argv[0]
  InputKind input = InputKind::Bytes;
  std::string stdinBytes;
  OutputKind output = OutputKind::Pipe;
  std::map<std::string, std::string> environment;  // added to (or replacing in) the current one
  std::vector<std::string> unsetEnvironment;
  std::string workingDirectory;
  bool countWrites = false;  // log every write() call of the program (run under strace)
  int timeoutSeconds = 20;
};

struct WriteCall {
  int fd;
  long size;
};

struct RunResult {
  std::string out;            // standard output (from the pipe, or the file for OutputKind::File)
  std::string err;            // standard error
  int exitCode = -1;          // when it exited
  int signal = 0;             // when a signal ended it
  bool timedOut = false;
  std::vector<WriteCall> writes;  // with countWrites
};

RunResult RunProgram(const RunOptions& options);

// The path of the calculator under test.
std::string ProgramPath();

// The command words that run a program (appended after them) with each of its write() calls
// logged to logPath; ReadWriteLog reads that log back. The program is linked statically, so the
// calls are watched from outside rather than by a preloaded library.
std::vector<std::string> WriteTracerArguments(const std::string& logPath);
std::vector<WriteCall> ReadWriteLog(const std::string& logPath);

// Text with each "\n" turned into CR LF: the program's line ends.
std::string CrLf(const std::string& text);

// A fresh temporary directory, removed by the caller with RemoveTree.
std::string MakeTempDir();
void RemoveTree(const std::string& path);

}  // namespace e2e
