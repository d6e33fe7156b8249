// The calculator run as a user runs it: typed lines in, the exact dialogue bytes out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>

#include "support/program_runner.h"

namespace {

using e2e::CrLf;
using e2e::DialogueTranscript;

e2e::RunResult RunWithInput(const std::string& input) {
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.stdinBytes = input;
  return e2e::RunProgram(options);
}

struct ResultCase {
  const char* name;
  const char* input;
  const char* echoedAnswer;
  const char* xLine;
  const char* yLine;
};
void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.name; }

class DialogueResults : public testing::TestWithParam<ResultCase> {};

TEST_P(DialogueResults, PrintsTheCrossingPointAndEndsWithCodeZero) {
  const ResultCase& c = GetParam();
  const e2e::RunResult r = RunWithInput(c.input);
  EXPECT_EQ(r.out, DialogueTranscript(c.echoedAnswer, c.xLine, c.yLine));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(r.timedOut);
}

const ResultCase kResultCases[] = {
    {"KnownX", "100\n200\n300\n400\nX\n150\n\n", "X", "X= 150.00m", "Y= 250.00m"},
    {"KnownY", "100\n200\n300\n400\nY\n250\n\n", "Y", "X= 150.00m", "Y= 250.00m"},
    // Only the exact one-character answer "X" takes the X branch.
    {"LowerCaseXTakesY", "5\n-2\n1\n6\nx\n3\n\n", "x", "X=  2.50m", "Y=  3.00m"},
    {"TrailingBlankTakesY", "100\n200\n300\n400\nX \n250\n\n", "X ", "X= 150.00m", "Y= 250.00m"},
    {"LeadingBlankTakesY", "100\n200\n300\n400\n X\n250\n\n", " X", "X= 150.00m", "Y= 250.00m"},
    {"EmptyAnswerTakesY", "100\n200\n300\n400\n\n250\n\n", "", "X= 150.00m", "Y= 250.00m"},
    {"OtherAnswerTakesY", "100\n200\n300\n400\nXY\n250\n\n", "XY", "X= 150.00m", "Y= 250.00m"},
    // Short values are padded to five characters; longer ones are written whole.
    {"PaddedToFive", "0\n0\n3\n1\nX\n1\n\n", "X", "X=  1.00m", "Y=  0.33m"},
    {"Negative", "-3.5\n12\n4\n-1.25\nX\n-10\n\n", "X", "X= -10.00m", "Y= 23.48m"},
    {"MapCoordinates", "5431.25\n2210.5\n5520.75\n2290.25\nX\n5500\n\n", "X", "X= 5500.00m",
     "Y= 2271.76m"},
    {"MapCoordinatesKnownY", "5431.25\n2210.5\n5520.75\n2290.25\nY\n2250\n\n", "Y", "X= 5475.58m",
     "Y= 2250.00m"},
    {"ExtendedIntermediates", "59.2\n-0.46\n89.2\n-25.9\nX\n-491\n\n", "X", "X= -491.00m",
     "Y= 466.11m"},
    {"VerticalLineKnownY", "1\n2\n1\n7\nY\n4\n\n", "Y", "X=  1.00m", "Y=  4.00m"},
    {"KnownEqualsA", "100\n200\n300\n400\nX\n100\n\n", "X", "X= 100.00m", "Y= 200.00m"},
    // From 2^120 on, the scientific notation with two mantissa digits.
    {"VeryLarge", "0\n0\n1\n1\nX\n2e36\n\n", "X", "X=  2.0E+0036m", "Y=  2.0E+0036m"},
    // An exponent of 5120 or more reads as an infinity, which the computation carries through.
    {"Infinity", "0\n0\n1\n1\nX\n1e5120\n\n", "X", "X=  +Infm", "Y=  +Infm"},
    {"NegativeInfinity", "0\n0\n1\n1\nX\n-1e5120\n\n", "X", "X=  -Infm", "Y=  -Infm"},
    // Below the double range the stored value is 0, without a fault.
    {"TooSmallForADouble", "1e-400\n0\n1\n1\nX\n2\n\n", "X", "X=  2.00m", "Y=  2.00m"},
    // Line ends typed as CR LF, blank lines before a number, two numbers on one line.
    {"CrLfInput", "100\r\n200\r\n300\r\n400\r\nX\r\n150\r\n\r\n", "X", "X= 150.00m", "Y= 250.00m"},
    {"BlankLinesBeforeANumber", "\n\n  \n100\n200\n300\n400\nX\n150\n\n", "X", "X= 150.00m",
     "Y= 250.00m"},
    {"SecondNumberOnALineIsDiscarded", "100 999\n200\n300\n400\nX\n150\n\n", "X", "X= 150.00m",
     "Y= 250.00m"},
    {"TabsAroundANumber", "\t100\t\n200\n300\n400\nX\n150\n\n", "X", "X= 150.00m", "Y= 250.00m"},
    // The six answers and nothing more: the final wait finds the end of input.
    {"NoFinalEnter", "100\n200\n300\n400\nX\n150\n", "X", "X= 150.00m", "Y= 250.00m"},
    {"NoFinalLineEnd", "100\n200\n300\n400\nX\n150", "X", "X= 150.00m", "Y= 250.00m"},
    // A Ctrl+Z (byte 26) after the answer's text, in the same block of input, ends the answer and
    // is consumed; the rest of its line is skipped (compare CtrlZAtTheFrontOfTheNextBlock below).
    {"CtrlZAfterTheAnswerInTheSameBlock",
     "100\n200\n300\n400\nX\x1a"
     "zzz\n150\n\n",
     "X", "X= 150.00m", "Y= 250.00m"},
};

INSTANTIATE_TEST_SUITE_P(Transcripts, DialogueResults, testing::ValuesIn(kResultCases),
                         [](const testing::TestParamInfo<ResultCase>& param) {
                           return param.param.name;
                         });

TEST(Dialogue, AnswerOfAnyLengthIsEchoedWhole) {
  const std::string answer(600, 'Q');
  const e2e::RunResult r = RunWithInput("100\n200\n300\n400\n" + answer + "\n250\n\n");
  EXPECT_EQ(r.out, DialogueTranscript(answer, "X= 150.00m", "Y= 250.00m"));
  EXPECT_EQ(r.exitCode, 0);
}

TEST(Dialogue, BytesOfTheAnswerAreKeptAsTyped) {
  const std::string answer = "\xC4\xD6 \t\x01z";
  const e2e::RunResult r = RunWithInput("100\n200\n300\n400\n" + answer + "\n250\n\n");
  EXPECT_EQ(r.out, DialogueTranscript(answer, "X= 150.00m", "Y= 250.00m"));
  EXPECT_EQ(r.exitCode, 0);
}

// ---- Failures: the report on standard error, exit code 1, nothing after the failing step. ----

struct FailureCase {
  const char* name;
  const char* input;
  const char* expectedOut;  // with "\n" for CR LF; null: everything up to the computation
  const char* answer;       // the answer echoed before the computation
  const char* className;
  const char* message;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class DialogueFailures : public testing::TestWithParam<FailureCase> {};

#define UP_TO_KNOWN                                                 \
  "Enter the X coordinate of point A: \n"                           \
  "Enter the Y coordinate of point A: \n"                           \
  "\n"                                                              \
  "Enter the X coordinate of point B: \n"                           \
  "Enter the Y coordinate of point B: \n"                           \
  "\n"                                                              \
  "Choose a well-known coordinate of the map frame corner <X/Y> \n" \
  "\n"

#define AFTER_FIRST_PROMPT "Enter the X coordinate of point A: \n"
#define UP_TO_B                                                             \
  AFTER_FIRST_PROMPT                                                        \
  "Enter the Y coordinate of point A: \n\nEnter the X coordinate of point " \
  "B: \n"

#define UP_TO_QUESTION                      \
  UP_TO_B                                   \
  "Enter the Y coordinate of point B: \n\n" \
  "Choose a well-known coordinate of the map frame corner <X/Y> \n"

// Up to the computation: the prompts, and the four blank lines written before it.
std::string UpToComputation(const std::string& answer) {
  return e2e::DialoguePrompts(answer) + CrLf("\n\n\n\n");
}

TEST_P(DialogueFailures, EndsInTheReportWithCodeOne) {
  const FailureCase& c = GetParam();
  const e2e::RunResult r = RunWithInput(c.input);
  EXPECT_EQ(r.out, c.expectedOut ? CrLf(c.expectedOut) : UpToComputation(c.answer));
  const std::regex report(std::string("Exception ") + c.className + " in module " +
                          e2e::ModulePattern() + " at [0-9A-F]{8}\\.\r\n" + c.message +
                          "\\.\r\n\r\n");
  EXPECT_TRUE(std::regex_match(r.err, report))
      << "standard error: " << testing::PrintToString(r.err);
  EXPECT_EQ(r.exitCode, 1);
}

// The bytes of CtrlZAfterTheAnswerInTheSameBlock, with the fourth number's line padded so that
// the 26 after the answer is the first byte of the second block of 128 bytes: there it is the end
// of the input, and the known coordinate is missing.
const std::string CtrlZAtTheFrontOfTheNextBlock = [] {
  std::string input = "100\n200\n300\n400";
  input += std::string(126 - input.size(), ' ') +
           "\nX\x1a"
           "zzz\n150\n\n";
  return input;
}();

const FailureCase kFailureCases[] = {
    {"MistypedNumber", "12a\n200\n", "Enter the X coordinate of point A: \n", "", "EInOutError",
     "Invalid numeric input"},
    {"DecimalComma", "100\n12,5\n",
     "Enter the X coordinate of point A: \nEnter the Y coordinate of point A: \n", "",
     "EInOutError", "Invalid numeric input"},
    {"BeyondTheDoubleRange", "1e400\n", "Enter the X coordinate of point A: \n", "", "EOverflow",
     "Floating point overflow"},
    {"BeyondTheExtendedRange", "1e5000\n", "Enter the X coordinate of point A: \n", "", "EOverflow",
     "Floating point overflow"},
    // Faults of the computation: the four blank lines before it are written, nothing of the branch.
    {"ParallelToTheFrameLine", "1\n2\n1\n7\nX\n5\n", nullptr, "X", "EZeroDivide",
     "Floating point division by zero"},
    {"ParallelKnownY", "1\n2\n3\n2\nY\n5\n", nullptr, "Y", "EZeroDivide",
     "Floating point division by zero"},
    {"SamePoint", "3\n4\n3\n4\nY\n5\n", nullptr, "Y", "EInvalidOp",
     "Invalid floating point operation"},
    {"SamePointKnownX", "3\n4\n3\n4\nX\n5\n", nullptr, "X", "EInvalidOp",
     "Invalid floating point operation"},
    {"ResultBeyondTheDoubleRange", "0\n0\n1e-300\n1\nX\n1e10\n", nullptr, "X", "EOverflow",
     "Floating point overflow"},
    {"InfinityTimesZero", "1e5120\n0\n1\n1\nX\n5\n", nullptr, "X", "EInvalidOp",
     "Invalid floating point operation"},
    // An input that ends before an answer does not make one up: "Read beyond end of file" at
    // the read that found the end, after everything written before it.
    {"EmptyInput", "", AFTER_FIRST_PROMPT, "", "EInOutError", "Read beyond end of file"},
    {"EndAfterOneNumber", "100\n", AFTER_FIRST_PROMPT "Enter the Y coordinate of point A: \n", "",
     "EInOutError", "Read beyond end of file"},
    {"EndAfterTwoNumbers", "100\n200\n", UP_TO_B, "", "EInOutError", "Read beyond end of file"},
    {"EndAfterThreeNumbers", "100\n200\n300\n", UP_TO_B "Enter the Y coordinate of point B: \n", "",
     "EInOutError", "Read beyond end of file"},
    {"EndAfterFourNumbers", "100\n200\n300\n400\n", UP_TO_QUESTION, "", "EInOutError",
     "Read beyond end of file"},
    {"EndAfterFourNumbersWithoutLineEnd", "100\n200\n300\n400", UP_TO_QUESTION, "", "EInOutError",
     "Read beyond end of file"},
    {"EndAfterTheAnswer", "100\n200\n300\n400\nX\n",
     UP_TO_KNOWN "Enter the X coordinate of the map frame corner\n", "", "EInOutError",
     "Read beyond end of file"},
    {"BlankLinesThenEnd", "100\n200\n300\n400\nY\n\n \n\t\n",
     UP_TO_KNOWN "Enter the Y coordinate of the map frame corner\n", "", "EInOutError",
     "Read beyond end of file"},
    // A Ctrl+Z (byte 26) reads as the end of input.
    {"CtrlZWhereTheThirdNumberIsDue",
     "100\n200\n\x1a"
     "300\n400\nX\n150\n",
     UP_TO_B, "", "EInOutError", "Read beyond end of file"},
    {"CtrlZWhereTheAnswerIsDue", "100\n200\n300\n400\n\x1aX\n150\n", UP_TO_QUESTION, "",
     "EInOutError", "Read beyond end of file"},
    {"CtrlZAtTheFrontOfTheNextBlock", CtrlZAtTheFrontOfTheNextBlock.c_str(),
     UP_TO_KNOWN "Enter the X coordinate of the map frame corner\n", "", "EInOutError",
     "Read beyond end of file"},
};

INSTANTIATE_TEST_SUITE_P(Reports, DialogueFailures, testing::ValuesIn(kFailureCases),
                         [](const testing::TestParamInfo<FailureCase>& param) {
                           return param.param.name;
                         });

TEST(DialogueFailureOutput, InputFromNullDeviceIsMissingItsFirstAnswer) {
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.input = e2e::InputKind::DevNull;
  const e2e::RunResult r = e2e::RunProgram(options);
  EXPECT_EQ(r.out, CrLf("Enter the X coordinate of point A: \n"));
  EXPECT_THAT(r.err,
              testing::MatchesRegex("Exception EInOutError in module " + e2e::ModulePattern() +
                                    " at [0-9A-F]{8}\\.\r\nRead beyond end of file\\.\r\n\r\n"));
  EXPECT_EQ(r.exitCode, 1);
}

// Standard input that is not open at all: the first read cannot open it, and its statement's
// check reports code 104.
// (Wine gives a program whose standard input the caller closed a usable handle all the same.)
TEST(DialogueFailureOutput, InputThatCannotBeOpenedEndsTheFirstReadNotUnderWine) {
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.input = e2e::InputKind::Closed;
  const e2e::RunResult r = e2e::RunProgram(options);
  EXPECT_EQ(r.out, CrLf("Enter the X coordinate of point A: \n"));
  EXPECT_TRUE(
      std::regex_match(r.err, std::regex("Exception EInOutError in module " + e2e::ModulePattern() +
                                         " at [0-9A-F]{8}\\.\r\n"
                                         "I/O error 104\\.\r\n\r\n")))
      << testing::PrintToString(r.err);
  EXPECT_EQ(r.exitCode, 1);
}

// The address of a mistyped number is the place just after the failing check in the dialogue.
TEST(DialogueFailureOutput, MistypedNumberAddressNamesTheDialogue) {
  const e2e::RunResult r = RunWithInput("100\nabc\n");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(r.err, match, std::regex("at ([0-9A-F]{8})\\.")));
  const std::string where = e2e::SourceLineOf(match[1].str());
  ASSERT_FALSE(where.empty());
  EXPECT_THAT(where, testing::HasSubstr("calculator/dialogue.cpp:"));
  // The line of the statement that read the second number, or the line right after it (the
  // place just after the check can already belong to the next statement).
  std::ifstream source(std::string(FRAMECALC_SOURCE_DIR) + "/calculator/dialogue.cpp");
  std::string text;
  int number = 0, readLine = 0;
  while (std::getline(source, text)) {
    ++number;
    if (text.find("READ_REAL(PointAY);") != std::string::npos) readLine = number;
  }
  ASSERT_GT(readLine, 0);
  const int reported = std::atoi(where.substr(where.rfind(':') + 1).c_str());
  EXPECT_TRUE(reported == readLine || reported == readLine + 1) << where << " read at " << readLine;
}

// A mistyped number whose report cannot write out the prompt still waiting in the buffer of a
// redirected output (a file that may not grow): the report is of that write's I/O error, in place
// of the mistyped number, and its address is the report's own check of the write, not the
// dialogue's. (A device such as /dev/full takes each line at once: there the prompt's own
// statement fails first.)
TEST(DialogueFailureOutput, FailedWriteOutOfTheReportIsReportedAtTheReportsAddressNotUnderWine) {
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.stdinBytes = "12a\n";
  options.output = e2e::OutputKind::File;
  options.fileSizeLimit = 0;
  const e2e::RunResult r = e2e::RunProgram(options);
  std::smatch match;
  ASSERT_TRUE(
      std::regex_search(r.err, match,
                        std::regex("^Exception EInOutError in module " + e2e::ModulePattern() +
                                   " at ([0-9A-F]{8})\\.\r\nI/O error 112\\.\r\n\r\n$")))
      << testing::PrintToString(r.err);
  const std::string where = e2e::SourceLineOf(match[1].str());
  ASSERT_FALSE(where.empty());
  EXPECT_THAT(where, testing::HasSubstr("runtime/exception_report.cpp:"));
  EXPECT_EQ(r.exitCode, 1);
}

// The address of a division by zero of the computation is that of the x87 instruction that
// divided: in the frame-line intersection, on the line of its division. (The system takes it from
// the x87's last-instruction pointer, which an emulated x87 may not keep.)
TEST(DialogueFailureOutput, DivisionByZeroAddressNamesTheDivision) {
  const std::string deviation = e2e::X87Deviation("instruction-pointer");
  if (!deviation.empty()) GTEST_SKIP() << deviation;
  const e2e::RunResult r = RunWithInput("1\n2\n1\n7\nX\n5\n");
  EXPECT_EQ(r.exitCode, 1);
  std::smatch match;
  ASSERT_TRUE(
      std::regex_search(r.err, match, std::regex("EZeroDivide in module \\S+ at ([0-9A-F]{8})\\.")))
      << r.err;
  ASSERT_NE(match[1].str(), "00000000");
  const std::string where = e2e::SourceLineOf(match[1].str());
  ASSERT_THAT(where, testing::HasSubstr("calculator/frame_intersection.cpp:"));
  std::ifstream source(std::string(FRAMECALC_SOURCE_DIR) + "/calculator/frame_intersection.cpp");
  const int reported = std::atoi(where.substr(where.rfind(':') + 1).c_str());
  std::string text;
  for (int number = 1; number <= reported && std::getline(source, text); ++number) {
  }
  EXPECT_TRUE(text.find(" / ") != std::string::npos || text.find("Divide(") != std::string::npos)
      << where << ": " << text;
}

// Redirected output leaves in blocks of exactly 128 bytes, the rest at shutdown.
// (The write calls are counted by a library preloaded into the Linux program.)
TEST(DialogueOutput, RedirectedOutputLeavesInBlocksOf128NotUnderWine) {
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.stdinBytes = "100\n200\n300\n400\nX\n150\n\n";
  options.output = e2e::OutputKind::File;
  options.countWrites = true;
  const e2e::RunResult r = e2e::RunProgram(options);
  ASSERT_EQ(r.out, DialogueTranscript("X", "X= 150.00m", "Y= 250.00m"));
  std::vector<long> sizes;
  for (const auto& call : r.writes) {
    if (call.fd == 1) sizes.push_back(call.size);
  }
  ASSERT_FALSE(sizes.empty());
  long total = 0;
  for (size_t i = 0; i < sizes.size(); ++i) {
    total += sizes[i];
    if (i + 1 < sizes.size()) {
      EXPECT_EQ(sizes[i], 128) << "write " << i;
    }
  }
  EXPECT_EQ(total, static_cast<long>(r.out.size()));
  EXPECT_EQ(sizes.size(), (r.out.size() + 127) / 128);
}

}  // namespace
