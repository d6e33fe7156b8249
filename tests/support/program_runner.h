// Runs a built program as a user would: bytes on standard input, everything it writes on standard
// output and standard error, and how it ended.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

enum class InputKind { Bytes, Closed, DevNull };
// File: a regular file, read back after the run. UnshrinkableFile: the same, except that it
// cannot be made shorter (an in-memory file sealed against shrinking; Linux only).
enum class OutputKind { Pipe, File, UnshrinkableFile, Closed, DevFull, BrokenPipe };

struct RunOptions {
  std::string program;                 // path of the executable
  std::vector<std::string> arguments;  // after argv[0]
  InputKind input = InputKind::Bytes;
  std::string stdinBytes;
  OutputKind output = OutputKind::Pipe;
  std::map<std::string, std::string> environment;  // added to (or replacing in) the current one
  std::vector<std::string> unsetEnvironment;
  std::string workingDirectory;
  bool countWrites = false;         // log every write() call of the program (run under strace)
  long fileSizeLimit = -1;          // RLIMIT_FSIZE in bytes for the program; -1 leaves it
  std::vector<int> blockedSignals;  // blocked in the signal mask the program inherits
  int timeoutSeconds = 20;
  bool direct = false;  // start the program itself even when FRAMECALC_PROGRAM_RUNNER is set
  // When set, standard input stays open and empty until the program waits in a read of it (as
  // /proc/PID/syscall shows; Linux only); then `beforeInput` runs once with the program's process
  // id (to signal it, or to remove its file), and only then are the input bytes written.
  std::function<void(int pid)> beforeInput;
};

struct WriteCall {
  int fd;
  long size;
};

struct RunResult {
  std::string out;    // standard output (from the pipe, or the file for OutputKind::File)
  std::string err;    // standard error
  int exitCode = -1;  // when it exited
  int signal = 0;     // when a signal ended it
  bool timedOut = false;
  std::vector<WriteCall> writes;  // with countWrites
};

RunResult RunProgram(const RunOptions& options);

// The path of the calculator under test (FRAMECALC_PROGRAM in the environment, else the build's).
std::string ProgramPath();
// The file name of the program under test, as its reports name its module, and the same as a
// regular expression.
std::string ModuleName();
std::string ModulePattern();

// The source line ("file:line") of an address that a report of the program under test showed
// (relative to the program's image), from the binary tools of the program's own kind; empty
// when they cannot say.
std::string SourceLineOf(const std::string& reportedHex);

// An address relative to the program's image (8 hexadecimal digits) as the "Runtime error"
// message of the program under test shows it: the absolute address for a Windows image (its
// low 32 bits), the same text otherwise.
std::string RuntimeErrorFormOf(const std::string& relativeHex);

// What the suite's first test, the x87 probe (probes/x87_probe.cpp), found on the machine that runs
// the programs under test, for one detail ("control-word", "instruction-pointer"): its finding
// when that machine's x87 lacks the detail, empty when it has it or when there are no findings
// (FRAMECALC_X87_FINDINGS names the file).
std::string X87Deviation(const std::string& detail);

// The command that starts every program run (FRAMECALC_PROGRAM_RUNNER; empty: run it directly).
std::string ProgramRunner();

// The command words that run a program (appended after them) with each of its write() calls
// logged to logPath; ReadWriteLog reads that log back. The program is linked statically, so the
// calls are watched from outside rather than by a preloaded library.
std::vector<std::string> WriteTracerArguments(const std::string& logPath);
std::vector<WriteCall> ReadWriteLog(const std::string& logPath);

// Text with each "\n" turned into CR LF: the program's line ends.
std::string CrLf(const std::string& text);

// What the calculator writes up to the line that names the known axis (`answer` as it was typed),
// and the whole output of a run that ends with the result lines `xLine` and `yLine`.
std::string DialoguePrompts(const std::string& answer);
std::string DialogueTranscript(const std::string& answer, const std::string& xLine,
                               const std::string& yLine);

// A regular expression that matches `text` literally, except that each "#" stands for one
// upper-case hexadecimal digit (the digits of a report's address).
std::string ReportPattern(const std::string& text);

// A fresh temporary directory, removed by the caller with RemoveTree.
std::string MakeTempDir();
void RemoveTree(const std::string& path);

}  // namespace e2e
