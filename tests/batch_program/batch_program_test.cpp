// framecalc-batch run as a user runs it: bytes on standard input or in files, arguments, the
// exact bytes on standard output and standard error, and the exit code.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/batch_program_path.h"
#include "support/program_runner.h"

namespace {

struct Run {
  std::string out, err;
  int exitCode;
};

e2e::RunResult RunBatch(const std::vector<std::string>& arguments, const std::string& input,
                        e2e::OutputKind output = e2e::OutputKind::Pipe,
                        const std::string& directory = "") {
  e2e::RunOptions options;
  options.program = BatchProgramPath();
  options.arguments = arguments;
  options.stdinBytes = input;
  options.output = output;
  options.workingDirectory = directory;
  e2e::RunResult result = e2e::RunProgram(options);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.signal, 0) << "ended by a signal";
  return result;
}

struct ProgramCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string input;
  std::string out;
  std::string err;
  int exitCode;
};

void PrintTo(const ProgramCase& c, std::ostream* os) { *os << c.name; }

class Program : public testing::TestWithParam<ProgramCase> {};

TEST_P(Program, WritesExactlyThisAndEndsSo) {
  const ProgramCase& c = GetParam();
  const e2e::RunResult result = RunBatch(c.arguments, c.input);
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(result.exitCode, c.exitCode);
}

const std::string Example =
    "# AX AY BX BY AXIS K\n"
    "100 200 300 400 X 150\n"
    "100 200 300 400 Y 250\n"
    "-12.5  3e2  7.25  -4E1  X  0\n"
    "0 0 3 1 y 0.5\n";
const std::string ExampleOut = "150.00\t250.00\n150.00\t250.00\n0.00\t84.81\n1.50\t0.50\n";

const std::string Usage = "Try 'framecalc-batch --help' for more information.\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, Program,
    testing::Values(
        ProgramCase{"ExampleFromStandardInput", {}, Example, ExampleOut, "", 0},
        ProgramCase{"DashIsStandardInput", {"-"}, Example, ExampleOut, "", 0},
        ProgramCase{"EmptyInput", {}, "", "", "", 0},
        ProgramCase{"OnlyAHeader", {}, "AX AY BX BY AXIS K\n", "", "", 0},
        ProgramCase{"CrLfInputAndNoFinalLineEnd",
                    {},
                    "1 2 3 4 X 2\r\n1 2 3 4 Y 3",
                    "2.00\t3.00\n2.00\t3.00\n",
                    "",
                    0},
        ProgramCase{"AxisIsXOrYInEitherCase",
                    {},
                    "0 0 4 2 x 1\n0 0 4 2 XX 1\n",
                    "1.00\t0.50\n\n",
                    "-:2: AXIS \"XX\": Not X or Y\n",
                    1},
        ProgramCase{
            "FailuresLeaveEmptyLinesAndNameTheirField",
            {},
            "1 2 1 5 X 7\n"
            "3 3 3 3 X 3\n"
            "1 2 3 4 X 12,5\n"
            "1 2 3 4 X\n"
            "1 2 1e400 4 X 1\n"
            "1 2 3 4 Y 1e5120\n"
            "1e-5 2 3 4 Y 1.0.0\n"
            "0 0 1 1e308 X 1e10\n"
            "0 0 2 2 X 1\n",
            "\n\n\n\n\n+Inf\t+Inf\n\n\n1.00\t1.00\n",
            "-:1: Y: Floating point division by zero\n"
            "-:2: Y: Invalid floating point operation\n"
            "-:3: K \"12,5\": Invalid numeric input (a decimal comma needs --decimal-comma; "
            "digit grouping is not read)\n"
            "-:4: K: Missing field\n"
            "-:5: BX \"1e400\": Floating point overflow\n"
            "-:7: K \"1.0.0\": Invalid numeric input\n"
            "-:8: Y: Floating point overflow\n",
            1},
        ProgramCase{"EchoDecimalsAndCrLf",
                    {"--echo", "--decimals", "4", "--crlf"},
                    "0 0 3 1 Y 0.5\nbad 0 3 1 Y 0.5\n",
                    "0\t0\t3\t1\tY\t0.5\t1.5000\t0.5000\r\n\r\n",
                    "-:2: AX \"bad\": Invalid numeric input\n",
                    1},
        ProgramCase{"DecimalsWithEqualsSign", {"--decimals=0"}, "0 0 3 1 Y 0.5\n", "2\t1\n", "", 0},
        ProgramCase{"ALongFieldIsReadByItsFirst64Characters",
                    {},
                    "0 0 2 2 X " + std::string(63, '0') + "15\n",
                    "1.00\t1.00\n",
                    "",
                    0},
        ProgramCase{"UnknownOption",
                    {"--fast"},
                    "0 0 2 2 X 1\n",
                    "",
                    "framecalc-batch: unknown option '--fast'\n" + Usage,
                    2},
        ProgramCase{
            "DecimalsOutOfRange",
            {"--decimals", "217"},
            "",
            "",
            "framecalc-batch: --decimals takes a whole number from 0 to 216, not '217'\n" + Usage,
            2},
        ProgramCase{
            "DecimalsNotANumber",
            {"--decimals=-1"},
            "",
            "",
            "framecalc-batch: --decimals takes a whole number from 0 to 216, not '-1'\n" + Usage,
            2},
        ProgramCase{"DecimalsWithoutValue",
                    {"--decimals"},
                    "",
                    "",
                    "framecalc-batch: option '--decimals' needs a number\n" + Usage,
                    2},
        ProgramCase{
            "TableAndDelimiterOptions",
            {"--table", "--delimiter=tab", "--decimals", "1"},
            "AX\tAY\tBX\tBY\tAXIS\tK\n0\t0\t2\t2\tX\t1\n",
            "AX\tAY\tBX\tBY\tAXIS\tK\tX\tY\ton_AB\terror\n0\t0\t2\t2\tX\t1\t1.0\t1.0\tyes\t\n",
            "",
            0},
        ProgramCase{"ColumnsOption",
                    {"--columns", "b,c,d,e,f,g"},
                    "a,b,c,d,e,f,g\n9,0,0,2,2,X,1\n",
                    "1.00\t1.00\n",
                    "",
                    0},
        ProgramCase{"Utf16StopsTheRun",
                    {},
                    std::string("\xFF\xFE"
                                "0\0\n\0",
                                6),
                    "",
                    "-:1: encoding: UTF-16 text (a byte-order mark, or zero bytes between the "
                    "characters): save the file as UTF-8 (or ASCII) text\n",
                    2},
        ProgramCase{"UnknownDelimiter",
                    {"--delimiter", "|"},
                    "",
                    "",
                    "framecalc-batch: --delimiter takes , ; tab or blank, not '|'\n" + Usage,
                    2},
        ProgramCase{"DelimiterWithoutValue",
                    {"--delimiter"},
                    "",
                    "",
                    "framecalc-batch: option '--delimiter' needs a value\n" + Usage,
                    2},
        ProgramCase{"ColumnsNotSix",
                    {"--columns=1,2,3"},
                    "",
                    "",
                    "framecalc-batch: --columns takes six column names or numbers (from 1), "
                    "separated by commas, not '1,2,3'\n" +
                        Usage,
                    2},
        ProgramCase{
            "ColumnsTwice",
            {"--columns=1,2,3,4,5,1"},
            "",
            "",
            "framecalc-batch: --columns names the same column twice in '1,2,3,4,5,1'\n" + Usage,
            2},
        ProgramCase{"CommaCannotBeBothDelimiterAndDecimalPoint",
                    {"--decimal-comma", "--delimiter=,"},
                    "",
                    "",
                    "framecalc-batch: with --decimal-comma the delimiter cannot be ','\n" + Usage,
                    2},
        ProgramCase{"TableAndEchoTogether",
                    {"--table", "--echo"},
                    "",
                    "",
                    "framecalc-batch: --table and --echo cannot be given together\n" + Usage,
                    2},
        ProgramCase{
            "Version", {"--version"}, "", "framecalc-batch " FRAMECALC_VERSION_TEXT "\n", "", 0}),
    [](const testing::TestParamInfo<ProgramCase>& param) { return std::string(param.param.name); });

TEST(Program, HelpDescribesTheRecordsAndOptions) {
  const e2e::RunResult result = RunBatch({"--help"}, "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out.rfind("Usage: framecalc-batch [OPTION]... [FILE]...\n", 0), 0u);
  for (const char* option : {"--delimiter C", "--decimal-comma", "--columns A,B,C,D,E,F", "--table",
                             "--decimals N", "--echo", "--crlf", "--help", "--version"}) {
    EXPECT_NE(result.out.find(option), std::string::npos) << option;
  }
  // What --decimals does not change: a value from 2^120 up is written as the calculator writes it.
  EXPECT_NE(result.out.find("from 2^120 up a\n                 coordinate is written in scientific "
                            "notation (2.0E+0036)"),
            std::string::npos);
  const e2e::RunResult large = RunBatch({"--decimals", "10"}, "0 0 1 1 X 2e36\n");
  EXPECT_EQ(large.out, "2.0E+0036\t2.0E+0036\n");
}

// Both outputs into one pipe (2>&1): every message comes after the result line of its record,
// whatever the sizes of the blocks the two outputs gather in.
TEST(Program, MessagesFollowTheirResultsWhereBothOutputsMeet) {
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "0 0 2 2 X 1\n";
  for (int i = 0; i < 600; ++i) input += "0 0 2 2 X z\n";
  e2e::RunOptions options;
  options.program = "/bin/sh";
  options.arguments = {"-c", "exec \"$0\" 2>&1", BatchProgramPath()};
  if (!e2e::ProgramRunner().empty())
    options.arguments = {"-c", "exec \"$0\" \"$1\" 2>&1", e2e::ProgramRunner(), BatchProgramPath()};
  options.direct = true;
  options.stdinBytes = input;
  const e2e::RunResult result = e2e::RunProgram(options);
  ASSERT_EQ(result.exitCode, 1) << result.err;
  uint64_t resultLines = 0, messages = 0;
  for (size_t start = 0; start < result.out.size();) {
    const size_t end = result.out.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = result.out.substr(start, end - start);
    start = end + 1;
    if (line.rfind("-:", 0) != 0) {
      ++resultLines;
      continue;
    }
    ++messages;
    ASSERT_GE(resultLines, std::stoull(line.substr(2))) << line;
  }
  EXPECT_EQ(resultLines, 2600u);
  EXPECT_EQ(messages, 600u);
}

class Files : public testing::Test {
 protected:
  void SetUp() override { directory_ = e2e::MakeTempDir(); }
  void TearDown() override { e2e::RemoveTree(directory_); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(directory_ + "/" + name, std::ios::binary) << bytes;
  }
  std::string directory_;
};

TEST_F(Files, AreReadInTurnAndNamedInMessages) {
  Write("a.txt", "AX AY BX BY AXIS K\n0 0 2 2 X 1\n0 0 2 2 X z\n");
  Write("b.csv", "ax,ay,bx,by,axis,k\n1,1,1,1,X,1\n");
  const e2e::RunResult result =
      RunBatch({"a.txt", "-", "b.csv"}, "0 0 4 2 Y 1\n", e2e::OutputKind::Pipe, directory_);
  EXPECT_EQ(result.out, "1.00\t1.00\n\n2.00\t1.00\n\n");
  EXPECT_EQ(result.err,
            "a.txt:3: K \"z\": Invalid numeric input\n"
            "b.csv:2: Y: Invalid floating point operation\n");
  EXPECT_EQ(result.exitCode, 1);
}

TEST_F(Files, AnUnreadableFileStopsTheRunBeforeAnyResult) {
  Write("good.txt", "0 0 2 2 X 1\n");
  const e2e::RunResult result = RunBatch({"good.txt", "missing.txt", ".", "missing/x.txt"}, "",
                                         e2e::OutputKind::Pipe, directory_);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "framecalc-batch: missing.txt: File not found\n"
            "framecalc-batch: .: File access denied\n"
            "framecalc-batch: missing/x.txt: File not found\n");
  EXPECT_EQ(result.exitCode, 2);
}

TEST_F(Files, ANamedPipeIsReadOnce) {
  const std::string pipe = directory_ + "/records";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  signal(SIGPIPE, SIG_IGN);  // a writer without reader fails with EPIPE instead
  std::thread writer([&] {
    const int fd = open(pipe.c_str(), O_WRONLY);
    if (fd < 0) return;
    const std::string records = "0 0 2 2 X 1\n0 0 4 2 Y 1\n";
    const ssize_t written = write(fd, records.data(), records.size());
    EXPECT_EQ(written, static_cast<ssize_t>(records.size()));
    close(fd);
  });
  const e2e::RunResult result = RunBatch({"records"}, "", e2e::OutputKind::Pipe, directory_);
  writer.join();
  EXPECT_EQ(result.out, "1.00\t1.00\n2.00\t1.00\n");
  EXPECT_EQ(result.exitCode, 0);
}

TEST_F(Files, OptionsAfterFileNamesAndDoubleDash) {
  Write("-echo", "0 0 2 2 X 1\n");
  const e2e::RunResult result = RunBatch({"--", "-echo"}, "", e2e::OutputKind::Pipe, directory_);
  EXPECT_EQ(result.out, "1.00\t1.00\n");
  EXPECT_EQ(result.exitCode, 0);
  Write("r.txt", "0 0 2 2 X 1\n");
  const e2e::RunResult after =
      RunBatch({"r.txt", "--decimals", "1"}, "", e2e::OutputKind::Pipe, directory_);
  EXPECT_EQ(after.out, "1.0\t1.0\n");
}

TEST(Output, ThatCannotBeWrittenEndsTheRunWithItsError) {
  std::string input;
  for (int i = 0; i < 100000; ++i) input += "0 0 2 2 X 1\n";
  const e2e::RunResult full = RunBatch({}, input, e2e::OutputKind::DevFull);
  EXPECT_EQ(full.err, "framecalc-batch: standard output: I/O error 112\n");
  EXPECT_EQ(full.exitCode, 2);
  const e2e::RunResult broken = RunBatch({}, input, e2e::OutputKind::BrokenPipe);
  EXPECT_EQ(broken.err, "framecalc-batch: standard output: I/O error 232\n");
  EXPECT_EQ(broken.exitCode, 2);
}

// --help and --version write to standard output as the results do: when it cannot take their
// text, the run ends with the output's error and status 2.
struct InformationCase {
  const char* name;
  const char* option;
  e2e::OutputKind output;
  const char* err;
};

void PrintTo(const InformationCase& c, std::ostream* os) { *os << c.name; }

class InformationOutput : public testing::TestWithParam<InformationCase> {};

TEST_P(InformationOutput, ThatCannotBeWrittenEndsWithItsError) {
  const InformationCase& c = GetParam();
  const e2e::RunResult result = RunBatch({c.option}, "", c.output);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(result.exitCode, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, InformationOutput,
    testing::Values(InformationCase{"HelpToAFullDisk", "--help", e2e::OutputKind::DevFull,
                                    "framecalc-batch: standard output: I/O error 112\n"},
                    InformationCase{"VersionToAFullDisk", "--version", e2e::OutputKind::DevFull,
                                    "framecalc-batch: standard output: I/O error 112\n"},
                    InformationCase{"HelpToAClosedOutput", "--help", e2e::OutputKind::Closed,
                                    "framecalc-batch: standard output: I/O error 6\n"},
                    InformationCase{"VersionToAClosedOutput", "--version", e2e::OutputKind::Closed,
                                    "framecalc-batch: standard output: I/O error 6\n"},
                    InformationCase{"HelpToAPipeWithoutReader", "--help",
                                    e2e::OutputKind::BrokenPipe,
                                    "framecalc-batch: standard output: I/O error 232\n"},
                    InformationCase{"VersionToAPipeWithoutReader", "--version",
                                    e2e::OutputKind::BrokenPipe,
                                    "framecalc-batch: standard output: I/O error 232\n"}),
    [](const testing::TestParamInfo<InformationCase>& param) { return param.param.name; });

// Results to a file under a file-size limit: the write that crosses it fails, and the file ends
// with the last result line that fitted whole; the cut line is taken back.
struct OutputLimitCase {
  const char* name;
  long limit;
  size_t records;     // of "0 0 2 2 X 1", 10 bytes of result each, after the two below
  size_t wholeLines;  // result lines that the file keeps
};

void PrintTo(const OutputLimitCase& c, std::ostream* os) { *os << c.name; }

class OutputLimits : public testing::TestWithParam<OutputLimitCase> {};

TEST_P(OutputLimits, LeaveOnlyWholeResultLines) {
  const OutputLimitCase& c = GetParam();
  std::string input = "0 0 1 1 X 1234\n0 0 1 1 X 7890.12\n";
  std::string expected = "1234.00\t1234.00\n7890.12\t7890.12\n";
  for (size_t i = 0; i < c.records; ++i) {
    input += "0 0 2 2 X 1\n";
    expected += "1.00\t1.00\n";
  }
  size_t kept = 0;
  for (size_t line = 0; line < c.wholeLines; ++line) kept = expected.find('\n', kept) + 1;
  e2e::RunOptions options;
  options.program = FRAMECALC_BATCH_PROGRAM;
  options.stdinBytes = input;
  options.output = e2e::OutputKind::File;
  options.fileSizeLimit = c.limit;
  const e2e::RunResult result = e2e::RunProgram(options);
  EXPECT_EQ(result.signal, 0) << "ended by a signal";
  ASSERT_EQ(result.out.size(), kept);
  EXPECT_EQ(result.out, expected.substr(0, kept));
  const bool everything = kept == expected.size();
  EXPECT_EQ(result.err, everything ? "" : "framecalc-batch: standard output: I/O error 112\n");
  EXPECT_EQ(result.exitCode, everything ? 0 : 2);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, OutputLimits,
    testing::Values(
        OutputLimitCase{"NothingMayBeWritten", 0, 0, 0},
        OutputLimitCase{"InsideTheFirstLine", 10, 0, 0},
        OutputLimitCase{"AtTheEndOfTheFirstLine", 16, 0, 1},
        OutputLimitCase{"InsideTheSecondLine", 19, 0, 1}, OutputLimitCase{"OneByteShort", 31, 0, 1},
        OutputLimitCase{"RoomForEverything", 32, 0, 2},
        // 256 KiB blocks: the first ends at its last line end, the limit cuts into the second.
        OutputLimitCase{"InsideTheSecondBlock", 300005, 100000, 29999},
        OutputLimitCase{"AtTheBlockSize", 262144, 100000, 26213}),
    [](const testing::TestParamInfo<OutputLimitCase>& param) { return param.param.name; });

// Where the cut line cannot be taken back (a file that cannot be made shorter), the message says
// which result line is the last complete one.
TEST(Output, ThatCannotBeCutBackNamesItsLastCompleteLine) {
  std::string input = "0 0 1 1 X 1234\n0 0 1 1 X 7890.12\n";
  for (const auto& [limit, err] : std::vector<std::pair<long, std::string>>{
           {19,
            "framecalc-batch: standard output: I/O error 112; the last complete result line "
            "is line 1\n"},
           {5,
            "framecalc-batch: standard output: I/O error 112; no result line reached it "
            "complete\n"},
           {16, "framecalc-batch: standard output: I/O error 112\n"}}) {
    e2e::RunOptions options;
    options.program = FRAMECALC_BATCH_PROGRAM;
    options.stdinBytes = input;
    options.output = e2e::OutputKind::UnshrinkableFile;
    options.fileSizeLimit = limit;
    const e2e::RunResult result = e2e::RunProgram(options);
    EXPECT_EQ(result.out, std::string("1234.00\t1234.00\n7890.12").substr(0, limit)) << limit;
    EXPECT_EQ(result.err, err) << limit;
    EXPECT_EQ(result.exitCode, 2) << limit;
  }
}

TEST(Output, IsWrittenInLargeBlocks) {
  std::string input;
  for (int i = 0; i < 50000; ++i) input += "0 0 2 2 X 1\n";
  e2e::RunOptions options;
  options.program = BatchProgramPath();
  options.stdinBytes = input;
  options.countWrites = true;
  const e2e::RunResult result = e2e::RunProgram(options);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  ASSERT_EQ(result.out.size(), 50000u * 10u);
  size_t toStdout = 0;
  for (const e2e::WriteCall& call : result.writes) {
    if (call.fd == 1) ++toStdout;
  }
  // 500,000 bytes in blocks of 256 KiB.
  EXPECT_EQ(toStdout, 2u);
}

// Typed at a terminal, a record's result shows as soon as its line is entered, long before the
// end of the input.
TEST(Terminal, ShowsEachResultWhenItsLineIsTyped) {
  termios mode{};
  cfmakeraw(&mode);  // no echo, no output processing: the screen holds the program's bytes
  mode.c_iflag |= ICRNL;
  mode.c_lflag |= ICANON;  // lines, and Ctrl+D for the end of the input
  mode.c_cc[VEOF] = 4;
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, &mode, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const std::string program = BatchProgramPath();
    const std::string runner = e2e::ProgramRunner();
    if (runner.empty()) {
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    } else {
      execl(runner.c_str(), runner.c_str(), program.c_str(), static_cast<char*>(nullptr));
    }
    _exit(127);
  }
  // Everything the program shows until `expected` has arrived, or 10 seconds have passed.
  auto readUntil = [&](const std::string& expected) {
    std::string screen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (screen.find(expected) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd entry{terminal, POLLIN, 0};
      if (poll(&entry, 1, 100) <= 0) continue;
      char bytes[256];
      const ssize_t got = read(terminal, bytes, sizeof bytes);
      if (got <= 0) break;
      screen.append(bytes, static_cast<size_t>(got));
    }
    return screen;
  };
  const std::string first = "0 0 2 2 X 1\n";
  ASSERT_EQ(write(terminal, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  EXPECT_EQ(readUntil("1.00\t1.00\n"), "1.00\t1.00\n");
  const std::string second = "0 0 4 2 Y 1\n\x04";
  ASSERT_EQ(write(terminal, second.data(), second.size()), static_cast<ssize_t>(second.size()));
  EXPECT_EQ(readUntil("2.00\t1.00\n"), "2.00\t1.00\n");
  int status = 0;
  pid_t ended = 0;
  for (int wait = 0; wait < 100 && ended == 0; ++wait) {
    ended = waitpid(pid, &status, WNOHANG);
    if (ended == 0) usleep(100000);
  }
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "still running 10 seconds after the end of its input";
  }
  close(terminal);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
