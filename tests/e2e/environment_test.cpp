// The calculator in hostile surroundings: limits, signal masks and paths that the caller set up.
// Whatever they do, a failure ends with its report or a non-zero exit code, never in silence.
// These are Linux surroundings (resource limits, the signal mask, Linux file names): Wine puts a
// Windows process between them and the program, so they run against the Linux build only.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/program_runner.h"

namespace {

namespace fs = std::filesystem;
using e2e::CrLf;

const char WholeRun[] = "100\n200\n300\n400\nX\n150\n";

std::string Transcript() { return e2e::DialogueTranscript("X", "X= 150.00m", "Y= 250.00m"); }

const char ReportOf112[] =
    "Exception EInOutError in module framecalc at [0-9A-F]{8}\\.\r\nI/O error 112\\.\r\n\r\n";

// Output to a file under a file-size limit: the write that crosses it fails with 112 like a full
// disk, instead of the process being killed by the limit's signal.
struct LimitCase {
  const char* name;
  long limit;
  int exitCode;
  const char* err;  // a regular expression; empty for nothing
};
void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class FileSizeLimits : public testing::TestWithParam<LimitCase> {};

TEST_P(FileSizeLimits, AWriteBeyondTheLimitFailsLikeAFullDiskNotUnderWine) {
  const LimitCase& c = GetParam();
  const std::string whole = Transcript();
  ASSERT_GT(whole.size(), 256u);
  ASSERT_LT(whole.size(), 384u) << "the last block is written at shutdown";
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.stdinBytes = WholeRun;
  options.output = e2e::OutputKind::File;
  options.fileSizeLimit = c.limit;
  const e2e::RunResult r = e2e::RunProgram(options);
  EXPECT_EQ(r.signal, 0) << "ended by a signal";
  EXPECT_EQ(r.exitCode, c.exitCode);
  const size_t kept = std::min(whole.size(), static_cast<size_t>(c.limit));
  EXPECT_EQ(r.out, whole.substr(0, kept)) << "everything up to the limit arrives";
  EXPECT_THAT(r.err, testing::MatchesRegex(c.err));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, FileSizeLimits,
    testing::Values(
        // The first block of 128 bytes cannot be written: its statement reports it.
        LimitCase{"NothingMayBeWritten", 0, 1, ReportOf112},
        // Only the last block, written at shutdown, crosses the limit: the results are lost, and
        // the run ends with the I/O error's code instead of success. (The "Runtime error" line
        // would go to the same full file.)
        LimitCase{"LimitInsideTheLastBlock", 300, 112, ""},
        LimitCase{"RoomForEverything", 4096, 0, ""}),
    [](const testing::TestParamInfo<LimitCase>& param) { return param.param.name; });

// A parent that blocks the fault signals cannot silence a fault of the computation.
TEST(Environment, BlockedFaultSignalsStillGiveTheReportNotUnderWine) {
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.stdinBytes = "1\n2\n1\n7\nX\n5\n";
  options.blockedSignals = {SIGFPE, SIGSEGV, SIGILL, SIGBUS};
  const e2e::RunResult r = e2e::RunProgram(options);
  EXPECT_EQ(r.signal, 0) << "ended by a signal";
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.out,
              testing::EndsWith(CrLf("Enter the X coordinate of the map frame corner\n\n\n\n\n")));
  EXPECT_THAT(
      r.err, testing::MatchesRegex("Exception EZeroDivide in module framecalc at "
                                   "[0-9A-F]{8}\\.\r\nFloating point division by zero\\.\r\n\r\n"));
}

class ProgramPaths : public testing::Test {
 protected:
  void SetUp() override { dir_ = fs::canonical(e2e::MakeTempDir()).string(); }
  void TearDown() override { e2e::RemoveTree(dir_); }
  std::string dir_;
};

// On Linux "\" is a character of a file name: the report names the whole file name.
TEST_F(ProgramPaths, BackslashIsPartOfTheModuleNameNotUnderWine) {
  const std::string program = dir_ + "/frame\\calc";
  fs::copy_file(e2e::ProgramPath(), program);
  e2e::RunOptions options;
  options.program = program;
  options.stdinBytes = "12a\n";
  const e2e::RunResult r = e2e::RunProgram(options);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.err, testing::MatchesRegex("Exception EInOutError in module frame\\\\calc at "
                                           "[0-9A-F]{8}\\.\r\nInvalid numeric input\\.\r\n\r\n"));
}

// A program whose absolute path is longer than any path the system spells out is still named,
// with an address relative to its own load base.
TEST_F(ProgramPaths, PathLongerThanThePlatformsBufferStillNamesTheModuleNotUnderWine) {
  const int home = open(".", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(home, 0);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  const std::string component(200, 'd');
  size_t depth = dir_.size();
  while (depth <= 4200) {
    ASSERT_EQ(mkdir(component.c_str(), 0700), 0);
    ASSERT_EQ(chdir(component.c_str()), 0);
    depth += component.size() + 1;
  }
  fs::copy_file(e2e::ProgramPath(), "framecalc");
  e2e::RunOptions options;
  options.program = "./framecalc";
  options.stdinBytes = "12a\n";
  const e2e::RunResult r = e2e::RunProgram(options);
  ASSERT_EQ(fchdir(home), 0);
  close(home);
  EXPECT_EQ(r.exitCode, 1);
  // (A sanitizer build may warn about the path first.)
  EXPECT_THAT(r.err, testing::ContainsRegex("Exception EInOutError in module framecalc at "
                                            "[0-9A-F]{8}\\.\r\nInvalid numeric input\\.\r\n\r\n$"));
}

// Paths are held in 261 characters: beside a program whose full path is longer, no language
// module is looked for, neither under the full path nor under the name it was started by.
TEST_F(ProgramPaths, NoModuleIsSearchedBesideAPathOver260CharactersNotUnderWine) {
  const int home = open(".", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(home, 0);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  size_t depth = dir_.size();
  for (const size_t length : {size_t{300}, size_t{4200}}) {
    const std::string component(100, 'd');
    while (depth <= length) {
      ASSERT_EQ(mkdir(component.c_str(), 0700), 0);
      ASSERT_EQ(chdir(component.c_str()), 0);
      depth += component.size() + 1;
    }
    fs::copy_file(e2e::ProgramPath(), "framecalc");
    for (const char* module : {"framecalc.DEU", "framecalc.DE"}) {
      std::ofstream(module) << "65528 = Ungueltige Zahl\n";
    }
    e2e::RunOptions options;
    options.program = "./framecalc";
    options.stdinBytes = "12a\n";
    options.environment["LC_ALL"] = "de_DE";
    options.environment["HOME"] = dir_;
    options.unsetEnvironment = {"XDG_CONFIG_HOME", "LC_MESSAGES", "LANG"};
    const e2e::RunResult r = e2e::RunProgram(options);
    EXPECT_EQ(r.exitCode, 1) << length;
    EXPECT_THAT(r.err, testing::ContainsRegex("\r\nInvalid numeric input\\.\r\n\r\n$")) << length;
  }
  ASSERT_EQ(fchdir(home), 0);
  close(home);
}

// A fault signal that another process sends while the program waits for its input is no fault of
// the program: it ends the program by the signal's default action, as it would end any program,
// with no report, nothing on standard error and nothing written out. Only a signal the processor's
// fault raised is reported as a fault.
struct SentSignalCase {
  const char* name;
  int signal;
  enum Sender { Kill, Queue, ThreadKill } sender;
};

void PrintTo(const SentSignalCase& c, std::ostream* os) { *os << c.name; }

class SentSignals : public testing::TestWithParam<SentSignalCase> {};

TEST_P(SentSignals, EndTheProgramByTheirDefaultActionNotUnderWine) {
  const SentSignalCase& c = GetParam();
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.beforeInput = [&c](int pid) {
    switch (c.sender) {
      case SentSignalCase::Kill:
        kill(pid, c.signal);
        break;
      case SentSignalCase::Queue:
        sigqueue(pid, c.signal, sigval{7237});
        break;
      case SentSignalCase::ThreadKill:
        syscall(SYS_tgkill, pid, pid, c.signal);
        break;
    }
  };
  options.stdinBytes = WholeRun;
  const e2e::RunResult r = e2e::RunProgram(options);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.signal, c.signal) << "exit code " << r.exitCode;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "") << "the prompt still in the buffer of redirected output is not written";
}

INSTANTIATE_TEST_SUITE_P(
    Senders, SentSignals,
    testing::Values(SentSignalCase{"KillFpe", SIGFPE, SentSignalCase::Kill},
                    SentSignalCase{"KillSegv", SIGSEGV, SentSignalCase::Kill},
                    SentSignalCase{"KillIll", SIGILL, SentSignalCase::Kill},
                    SentSignalCase{"KillBus", SIGBUS, SentSignalCase::Kill},
                    SentSignalCase{"QueuedFpe", SIGFPE, SentSignalCase::Queue},
                    SentSignalCase{"QueuedSegv", SIGSEGV, SentSignalCase::Queue},
                    SentSignalCase{"ThreadKillIll", SIGILL, SentSignalCase::ThreadKill},
                    SentSignalCase{"ThreadKillBus", SIGBUS, SentSignalCase::ThreadKill}),
    [](const testing::TestParamInfo<SentSignalCase>& param) { return param.param.name; });

// The program's file removed, replaced (as an upgrade replaces it) or merely named like the
// kernel's mark while it waits: a report made afterwards names the module by its file name, never
// with the kernel's " (deleted)" after it.
struct ProgramFileCase {
  const char* name;
  const char* fileName;
  enum Change { Removed, Replaced, Kept } change;
};

void PrintTo(const ProgramFileCase& c, std::ostream* os) { *os << c.name; }

class ProgramFileChanges : public testing::TestWithParam<ProgramFileCase> {
 protected:
  void SetUp() override { dir_ = fs::canonical(e2e::MakeTempDir()).string(); }
  void TearDown() override { e2e::RemoveTree(dir_); }
  std::string dir_;
};

TEST_P(ProgramFileChanges, LeaveTheModuleNameAsItWasNotUnderWine) {
  const ProgramFileCase& c = GetParam();
  const std::string program = dir_ + "/" + c.fileName;
  fs::copy_file(e2e::ProgramPath(), program);
  e2e::RunOptions options;
  options.program = program;
  options.beforeInput = [&c, &program](int) {
    if (c.change == ProgramFileCase::Kept) return;
    fs::remove(program);
    if (c.change == ProgramFileCase::Replaced) fs::copy_file(e2e::ProgramPath(), program);
  };
  options.stdinBytes = "12a\n";
  const e2e::RunResult r = e2e::RunProgram(options);
  EXPECT_EQ(r.exitCode, 1);
  std::string escaped;
  for (const char ch : std::string(c.fileName)) {
    if (std::strchr("()[]{}.*+?^$|\\", ch) != nullptr) escaped += '\\';
    escaped += ch;
  }
  EXPECT_THAT(r.err,
              testing::MatchesRegex("Exception EInOutError in module " + escaped +
                                    " at [0-9A-F]{8}\\.\r\nInvalid numeric input\\.\r\n\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ProgramFileChanges,
    testing::Values(ProgramFileCase{"Removed", "framecalc", ProgramFileCase::Removed},
                    ProgramFileCase{"Replaced", "framecalc", ProgramFileCase::Replaced},
                    ProgramFileCase{"NamedLikeTheMark", "framecalc (deleted)",
                                    ProgramFileCase::Kept},
                    ProgramFileCase{"NamedLikeTheMarkAndRemoved", "framecalc (deleted)",
                                    ProgramFileCase::Removed}),
    [](const testing::TestParamInfo<ProgramFileCase>& param) { return param.param.name; });

}  // namespace
