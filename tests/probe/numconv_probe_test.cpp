// End-to-end tests of numconv-probe: the built tool runs with a script of commands on standard
// input, and every answer line is checked.
//
// Extended values are written as 20 hex digits (sign and exponent word, then the significand).
// The expected bits were worked out by exact rational arithmetic: a value v = 1.f x 2^e has the
// word 16383 + e (plus 0x8000 when negative) and the significand round(v x 2^(63 - e)), ties to
// even; for example 150 = 1.171875 x 2^7 gives 4006 9600000000000000. A double is the same
// rounding to 53 bits, then widened.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Replaces the child process with the probe: the build's, or the one named by NUMCONV_PROBE in
// the environment, started by FRAMECALC_PROGRAM_RUNNER when that is set (the Windows build's
// probe runs under tools/wine-run.sh with the same tests).
void ExecProbe() {
  const char* other = std::getenv("NUMCONV_PROBE");
  const char* probe = other != nullptr && other[0] != '\0' ? other : NUMCONV_PROBE_PROGRAM;
  const char* runner = std::getenv("FRAMECALC_PROGRAM_RUNNER");
  if (runner != nullptr && runner[0] != '\0') {
    execl(runner, runner, probe, static_cast<char*>(nullptr));
  } else {
    execl(probe, probe, static_cast<char*>(nullptr));
  }
}

struct ProbeRun {
  std::string output;
  int exitCode = -1;
};

// Runs the probe with `script` as its whole standard input and collects its standard output.
ProbeRun RunProbe(const std::string& script) {
  char path[] = "/tmp/numconv-probe-script-XXXXXX";
  int scriptFd = mkstemp(path);
  if (scriptFd < 0) ADD_FAILURE() << "mkstemp failed";
  size_t written = 0;
  while (written < script.size()) {
    ssize_t n = write(scriptFd, script.data() + written, script.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  lseek(scriptFd, 0, SEEK_SET);
  unlink(path);

  int outPipe[2];
  if (pipe(outPipe) != 0) ADD_FAILURE() << "pipe failed";
  pid_t child = fork();
  if (child == 0) {
    dup2(scriptFd, STDIN_FILENO);
    dup2(outPipe[1], STDOUT_FILENO);
    close(outPipe[0]);
    close(outPipe[1]);
    close(scriptFd);
    ExecProbe();
    _exit(127);
  }
  close(outPipe[1]);
  close(scriptFd);

  ProbeRun run;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(outPipe[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    run.output.append(buffer, static_cast<size_t>(n));
  }
  close(outPipe[0]);
  int status = 0;
  waitpid(child, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no LF>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

struct Exchange {
  std::string command;
  std::string answer;
};

// Sends all commands as one script and expects exactly one answer line for each, in order.
void ExpectAnswers(const std::vector<Exchange>& exchanges) {
  std::string script;
  for (const Exchange& e : exchanges) script += e.command + "\n";
  ProbeRun run = RunProbe(script);
  EXPECT_EQ(run.exitCode, 0);
  std::vector<std::string> lines = SplitLines(run.output);
  ASSERT_EQ(lines.size(), exchanges.size()) << run.output;
  for (size_t i = 0; i < exchanges.size(); ++i) {
    EXPECT_EQ(lines[i], exchanges[i].answer) << "command " << i + 1 << ": " << exchanges[i].command;
  }
}

TEST(NumconvProbe, ParseAnswersBitsAndErrorPosition) {
  ExpectAnswers({
      {"parse 150", "40069600000000000000 0"},
      {"parse +1.5E+2", "40069600000000000000 0"},
      // 2345/1000 and 15/1000: one exact division, so the nearest extended.
      {"parse -2.345", "C00096147AE147AE147B 0"},
      {"parse 1.5e-2", "3FF8F5C28F5C28F5C28F 0"},
      {"parse 12345678901234567890", "403EAB54A98CEB1F0AD2 0"},
      {"parse -0", "80000000000000000000 0"},
      {"parse -.", "80000000000000000000 0"},
      {"parse .5", "3FFE8000000000000000 0"},
      // Everything after the first space is the text: leading, inner and trailing spaces too.
      {"parse   7", "4001E000000000000000 0"},
      {"parse 1 2", "3FFF8000000000000000 2"},
      {"parse 12 ", "4002C000000000000000 3"},
      {"parse ", "00000000000000000000 1"},
      {"parse -", "00000000000000000000 2"},
      {"parse 1e+", "3FFF8000000000000000 4"},
      {"parse 12x", "4002C000000000000000 3"},
      {"parse 1.5.3", "4002F000000000000000 4"},
      {"parse \t5", "00000000000000000000 1"},
      // Only LF ends a command: a CR before it is a character of the text.
      {"parse 5\r", "4001A000000000000000 2"},
      {"parse 1e5120", "7FFF8000000000000000 0"},
      {"parse -1e5120", "FFFF8000000000000000 0"},
      {"parse 0e5120", "7FFF8000000000000000 0"},
      {"parse -1e-5120", "80000000000000000000 0"},
      {"parse 1e-5000", "00000000000000000000 0"},
      // Scaled as 1 x 10^4 x 10^320 x 10^4608 (each factor the nearest extended, each product
      // rounded), and 1 / 10^12 / 10^320 / 10^4608 ending in a denormal.
      {"parse 1e4932", "7FFED72CB2A95C7EF6CD 0"},
      {"parse 1e-4940", "00000000000663278E62 0"},
  });
}

TEST(NumconvProbe, OverflowIsAnsweredAndTheProbeGoesOn) {
  ExpectAnswers({
      {"parse 1e5000", "overflow"},
      {"parse 150", "40069600000000000000 0"},
      {"parse 1.2e4932", "overflow"},
      {"parse 2e4932", "overflow"},
      {"format 40069600000000000000 5 2", "[150.00]"},
      {"store 7FFEFFFFFFFFFFFFFFFF", "overflow"},
      {"store 3FFFC000000000000000", "3FF8000000000000"},
      {"parse 1e5000", "overflow"},
      {"parse 1e5000", "overflow"},
      {"parse -2.5", "C000A000000000000000 0"},
  });
}

TEST(NumconvProbe, FormatWritesTheTextBetweenBrackets) {
  ExpectAnswers({
      {"format 40069600000000000000 5 2", "[150.00]"},
      {"format 3FFFC000000000000000 5 2", "[ 1.50]"},
      {"format C001E000000000000000 5 2", "[-7.00]"},
      {"format 3ffc8000000000000000 5 2", "[ 0.13]"},
      {"format 80000000000000000000 5 2", "[-0.00]"},
      // The doubles nearest to 0.005, 99.995, 0.145 and 1234.567.
      {"format 3FF7A3D70A3D70A3D800 5 2", "[ 0.01]"},
      {"format 4005C7FD70A3D70A4000 5 2", "[100.00]"},
      {"format 3FFC947AE147AE147800 5 2", "[ 0.14]"},
      {"format 40099A5224DD2F1AA000 5 2", "[1234.57]"},
      {"format 4000A000000000000000 0 0", "[3]"},
      {"format C000A000000000000000 -2147483648 0", "[-3]"},
      {"format 40058280000000000000 8 3", "[  65.250]"},
      // 1.25 x 10^20, the double nearest to 123.456, and 2^120 (the first magnitude written in
      // scientific notation by fixed notation).
      {"format 4041D8D726B7177A8000 10 -1", "[ 1.3E+0020]"},
      {"format 4005F6E978D4FDF3B800 20 -1", "[ 1.23456000000E+0002]"},
      {"format 40778000000000000000 5 2", "[ 1.3E+0036]"},
      {"format 7FFF8000000000000000 5 2", "[ +Inf]"},
      {"format FFFF8000000000000000 2 2", "[-Inf]"},
      {"format FFFFC000000000000000 5 2", "[  Nan]"},
      {"format 3FFF8000000000000000 300 0", "[" + std::string(254, ' ') + "1]"},
      {"format 3FFFC000000000000000 5 300", "[1.5" + std::string(215, '0') + "]"},
  });
}

TEST(NumconvProbe, StoreRoundsToDoubleUnderTheControlWord) {
  ExpectAnswers({
      {"store 3FFFC000000000000000", "3FF8000000000000"},
      // 1 + 2^-53 and 1 + 3 x 2^-53 are ties: to even, down and up; 1 + 2^-53 + 2^-63 is above.
      {"store 3FFF8000000000000400", "3FF0000000000000"},
      {"store 3FFF8000000000000C00", "3FF0000000000002"},
      {"store 3FFF8000000000000401", "3FF0000000000001"},
      {"store 80000000000000000000", "8000000000000000"},
      // 2^-1074 is the smallest denormal double; 2^-1076 rounds to zero, underflow is masked.
      {"store 3BCD8000000000000000", "0000000000000001"},
      {"store 3BCB8000000000000000", "0000000000000000"},
      {"store 7FFF8000000000000000", "7FF0000000000000"},
      {"store FFFF8000000000000000", "FFF0000000000000"},
      {"store 7FFFC000000000000000", "7FF8000000000000"},
      // The largest double, then the same plus half an ulp, which rounds (to even) to 2^1024.
      {"store 43FEFFFFFFFFFFFFF800", "7FEFFFFFFFFFFFFF"},
      {"store 43FEFFFFFFFFFFFFFBFF", "7FEFFFFFFFFFFFFF"},
      {"store 43FEFFFFFFFFFFFFFC00", "overflow"},
      {"store FFFEFFFFFFFFFFFFFFFF", "overflow"},
      // A signalling NaN is an invalid operand of the store.
      {"store 7FFFA000000000000000", "invalid"},
      {"store 40069600000000000000", "4062C00000000000"},
  });
}

TEST(NumconvProbe, MalformedCommandsAnswerError) {
  ExpectAnswers({
      {"", "error"},
      {"parse", "error"},
      {"Parse 1", "error"},
      {" parse 1", "error"},
      {"bogus 1", "error"},
      {"format 4006960000000000000 5 2", "error"},
      {"format 400696000000000000000 5 2", "error"},
      {"format 4006960000000000000G 5 2", "error"},
      {"format 40069600000000000000 5", "error"},
      {"format 40069600000000000000 5 2 7", "error"},
      {"format 40069600000000000000 5 2x", "error"},
      {"format 40069600000000000000 - 2", "error"},
      {"format 40069600000000000000 2147483648 2", "error"},
      {"format 40069600000000000000 5 -2147483649", "error"},
      {"format 40069600000000000000 5 2\r", "error"},
      {"store", "error"},
      {"store 3FFFC000000000000000 1", "error"},
      {"store 0x3FFFC00000000000000", "error"},
      // Separating runs of spaces are accepted.
      {"format  40069600000000000000   5 2 ", "[150.00]"},
      {"store 3FFFC000000000000000  ", "3FF8000000000000"},
  });
}

TEST(NumconvProbe, LastLineWithoutLineFeedIsACommand) {
  ProbeRun run = RunProbe("parse 150\nparse 5");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "40069600000000000000 0\n4001A000000000000000 0\n");
}

TEST(NumconvProbe, EmptyInputGivesNoAnswer) {
  ProbeRun run = RunProbe("");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "");
}

// A driver that waits for each answer before sending the next command must not hang: every
// answer is flushed as soon as it is made, faults included.
TEST(NumconvProbe, EachAnswerIsFlushedBeforeTheNextCommand) {
  int toProbe[2], fromProbe[2];
  ASSERT_EQ(pipe(toProbe), 0);
  ASSERT_EQ(pipe(fromProbe), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(toProbe[0], STDIN_FILENO);
    dup2(fromProbe[1], STDOUT_FILENO);
    close(toProbe[0]);
    close(toProbe[1]);
    close(fromProbe[0]);
    close(fromProbe[1]);
    ExecProbe();
    _exit(127);
  }
  close(toProbe[0]);
  close(fromProbe[1]);

  const std::vector<Exchange> exchanges = {
      {"parse 150", "40069600000000000000 0"},
      {"parse 1e5000", "overflow"},
      {"format 40069600000000000000 5 2", "[150.00]"},
      {"store 7FFEFFFFFFFFFFFFFFFF", "overflow"},
      {"nonsense", "error"},
  };
  for (const Exchange& e : exchanges) {
    std::string command = e.command + "\n";
    ASSERT_EQ(write(toProbe[1], command.data(), command.size()),
              static_cast<ssize_t>(command.size()));
    std::string line;
    for (;;) {
      pollfd ready = {fromProbe[0], POLLIN, 0};
      ASSERT_EQ(poll(&ready, 1, 10000), 1) << "no answer to " << e.command;
      char c;
      ASSERT_EQ(read(fromProbe[0], &c, 1), 1) << "probe ended at " << e.command;
      if (c == '\n') break;
      line += c;
    }
    EXPECT_EQ(line, e.answer) << e.command;
  }
  close(toProbe[1]);
  char c;
  EXPECT_EQ(read(fromProbe[0], &c, 1), 0);  // nothing more, and the probe ends
  close(fromProbe[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
