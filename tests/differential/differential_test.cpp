// Two builds of the calculator, one dialogue: generated dialogues go through the reference build
// (the Linux one on x86-64) and the build under test (FRAMECALC_PROGRAM, started by
// FRAMECALC_PROGRAM_RUNNER: the Windows one under Wine, the aarch64 one under qemu-user).
// Standard output and the exit code must be the same bytes; a report must name the same exception
// class with the same message, and where both programs carry the same module name, standard error
// must be the same bytes but for the address (each build's own). The same for framecalc-batch on a
// file of generated records, where the build under test names one (FRAMECALC_BATCH_PROGRAM).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <string>

#include "support/program_runner.h"

namespace {

constexpr int kChunks = 12;
constexpr int kDialoguesPerChunk = 25;

std::string ReferenceProgram() {
  const char* other = std::getenv("FRAMECALC_REFERENCE_PROGRAM");
  return other != nullptr && other[0] != '\0' ? other : FRAMECALC_REFERENCE_PROGRAM;
}

// One input line of a number, of every kind the dialogue meets: plain, scaled, at and beyond
// the limits of the formats, mistyped, empty, padded.
std::string NumberLine(std::mt19937& random) {
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto digits = [&](int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += static_cast<char>('0' + pick(10));
    return text;
  };
  const std::string sign = pick(4) == 0 ? "-" : (pick(10) == 0 ? "+" : "");
  switch (pick(16)) {
    case 0:
    case 1:
    case 2:
      return sign + std::to_string(pick(100000));
    case 3:
    case 4:
      return sign + digits(1 + pick(6)) + "." + digits(pick(8));
    case 5:
      return sign + digits(1 + pick(3)) + (pick(2) ? "e" : "E") + (pick(2) ? "-" : "") +
             std::to_string(pick(40));
    case 6:
      return sign + "1e" + std::to_string(300 + pick(20));  // near the double's end
    case 7:
      return sign + digits(1) + "e" + std::to_string(4920 + pick(200));  // the extended's end
    case 8:
      return sign + "1e-" + std::to_string(4920 + pick(40));  // below the smallest
    case 9:
      return digits(20 + pick(40));  // long digit strings
    case 10: {
      static const char* const mistyped[] = {"12a", "1,5",  "abc", "--1", "1e", ".", "1.2.3",
                                             "e5",  "0x10", "$1F", "1e+", "+",  "-", "1 2"};
      return mistyped[pick(sizeof mistyped / sizeof *mistyped)];
    }
    case 11:
      return "";
    case 12:
      return std::string(static_cast<size_t>(pick(3)), ' ') + std::to_string(pick(1000)) +
             std::string(static_cast<size_t>(pick(3)), ' ');
    case 13:
      return "\t" + std::to_string(pick(1000));
    case 14:
      return sign + "0";
    default:
      return sign + std::to_string(pick(10)) + "." + digits(pick(3));
  }
}

std::string AnswerLine(std::mt19937& random) {
  static const char* const answers[] = {"X", "X", "X", "Y", "Y", "x", "", "X ", "XY", " X"};
  return answers[random() % (sizeof answers / sizeof *answers)];
}

std::string Dialogue(unsigned seed) {
  std::mt19937 random(seed);
  const std::string end = random() % 4 == 0 ? "\r\n" : "\n";
  std::string input;
  for (int i = 0; i < 4; ++i) input += NumberLine(random) + end;
  input += AnswerLine(random) + end;
  input += NumberLine(random) + end;
  input += end;
  // Now and then the input ends early, without its last line end, or with a Ctrl+Z mark.
  switch (random() % 10) {
    case 0:
      input.resize(random() % input.size());
      break;
    case 1:
      input.pop_back();
      break;
    case 2:
      input.insert(random() % input.size(), "\x1A");
      break;
    default:
      break;
  }
  return input;
}

// What a report says apart from where: the exception's class and message, or the run-time
// error's number; any other standard error as it is.
std::string ReportGist(const std::string& err) {
  std::smatch match;
  static const std::regex exception(
      "^Exception (\\S+) in module \\S+ at [0-9A-F]{8}\\.\r\n(.*)\r\n\r\n$");
  if (std::regex_match(err, match, exception))
    return "exception " + match[1].str() + ": " + match[2].str();
  static const std::regex runtimeError("^Runtime error +([0-9]+) at [0-9A-F]{8}\r\n$");
  if (std::regex_match(err, match, runtimeError)) return "runtime error " + match[1].str();
  return "other: " + err;
}

// Standard error with the address of a report (8 hexadecimal digits) blotted out.
std::string WithoutAddresses(const std::string& err) {
  static const std::regex address(" at [0-9A-F]{8}");
  return std::regex_replace(err, address, " at ########");
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

e2e::RunResult RunDialogue(const std::string& program, bool direct, const std::string& input) {
  e2e::RunOptions options;
  options.program = program;
  options.direct = direct;
  options.stdinBytes = input;
  options.timeoutSeconds = 60;
  return e2e::RunProgram(options);
}

class Differential : public testing::TestWithParam<int> {};

TEST_P(Differential, BothBuildsGiveTheSameDialogue) {
  int mismatches = 0;
  std::set<std::string> outcomes;  // of the reference: a result, or each kind of report
  for (int i = 0; i < kDialoguesPerChunk && mismatches < 5; ++i) {
    const unsigned seed = static_cast<unsigned>(GetParam() * kDialoguesPerChunk + i);
    const std::string input = Dialogue(seed);
    const e2e::RunResult reference = RunDialogue(ReferenceProgram(), true, input);
    const e2e::RunResult tested = RunDialogue(e2e::ProgramPath(), false, input);
    ASSERT_FALSE(reference.timedOut);
    ASSERT_FALSE(tested.timedOut) << testing::PrintToString(input);
    outcomes.insert(std::to_string(reference.exitCode) + " " + ReportGist(reference.err));
    const bool same = reference.out == tested.out && reference.exitCode == tested.exitCode &&
                      ReportGist(reference.err) == ReportGist(tested.err);
    if (!same) ++mismatches;
    EXPECT_EQ(tested.out, reference.out) << "input " << testing::PrintToString(input);
    EXPECT_EQ(tested.exitCode, reference.exitCode) << "input " << testing::PrintToString(input);
    EXPECT_EQ(ReportGist(tested.err), ReportGist(reference.err))
        << "input " << testing::PrintToString(input);
    if (e2e::ModuleName() == FileNameOf(ReferenceProgram())) {
      EXPECT_EQ(WithoutAddresses(tested.err), WithoutAddresses(reference.err))
          << "input " << testing::PrintToString(input);
    }
  }
  // The generated dialogues end in results and in several kinds of report, not all alike.
  EXPECT_GE(outcomes.size(), 4u) << testing::PrintToString(outcomes);
}

INSTANTIATE_TEST_SUITE_P(GeneratedDialogues, Differential, testing::Range(0, kChunks));

// The README's dialogue and its two failures, many runs in a row through the build under test:
// every run gives the very bytes of the first one, and those are the reference build's, apart
// from the module name and the address in a report (each build's own).
struct ReadmeCase {
  const char* name;
  const char* input;
};

void PrintTo(const ReadmeCase& readmeCase, std::ostream* os) { *os << readmeCase.name; }

constexpr int kRunsInARow = 20;

std::string WithoutModuleAndAddress(const std::string& err) {
  static const std::regex where(" in module \\S+ at [0-9A-F]{8}\\.");
  return std::regex_replace(err, where, " in module M at A.");
}

class ReadmeDialogues : public testing::TestWithParam<ReadmeCase> {};

TEST_P(ReadmeDialogues, EveryRunGivesTheReferenceBuildsBytes) {
  const std::string input = GetParam().input;
  const e2e::RunResult reference = RunDialogue(ReferenceProgram(), true, input);
  ASSERT_FALSE(reference.timedOut);
  const e2e::RunResult first = RunDialogue(e2e::ProgramPath(), false, input);
  ASSERT_FALSE(first.timedOut);
  EXPECT_EQ(first.out, reference.out);
  EXPECT_EQ(first.exitCode, reference.exitCode);
  EXPECT_EQ(WithoutModuleAndAddress(first.err), WithoutModuleAndAddress(reference.err));
  for (int run = 2; run <= kRunsInARow; ++run) {
    const e2e::RunResult again = RunDialogue(e2e::ProgramPath(), false, input);
    ASSERT_FALSE(again.timedOut) << "run " << run;
    ASSERT_EQ(again.out, first.out) << "run " << run;
    ASSERT_EQ(again.err, first.err) << "run " << run;
    ASSERT_EQ(again.exitCode, first.exitCode) << "run " << run;
  }
}

INSTANTIATE_TEST_SUITE_P(
    RunsInARow, ReadmeDialogues,
    testing::Values(ReadmeCase{"ExampleSession", "100\n200\n300\n400\nX\n150\n\n"},
                    ReadmeCase{"MistypedNumber", "12a\n"},
                    ReadmeCase{"DivisionByZero", "1\n2\n1\n7\nX\n5\n"}),
    [](const testing::TestParamInfo<ReadmeCase>& param) { return param.param.name; });

// One record of framecalc-batch: the five numbers and the axis in the calculator's order, now and
// then on one line with A and B on a vertical or horizontal line, or the same point twice, so
// that the divisions fail as often as the numbers do.
std::string RecordLine(std::mt19937& random) {
  std::string fields[6];
  for (int i : {0, 1, 2, 3, 5}) {
    fields[i] = NumberLine(random);
    // A field is one token: what the number generator pads or leaves empty becomes a plain one.
    if (fields[i].find_first_of(" \t") != std::string::npos || fields[i].empty()) {
      fields[i] = std::to_string(random() % 1000);
    }
  }
  fields[4] = random() % 2 ? "X" : "Y";
  switch (random() % 6) {
    case 0:
      fields[2] = fields[0];
      break;
    case 1:
      fields[3] = fields[1];
      break;
    case 2:
      fields[2] = fields[0];
      fields[3] = fields[1];
      break;
    default:
      break;
  }
  std::string line;
  for (int i = 0; i < 6; ++i) line += fields[i] + (i < 5 ? " " : "\n");
  return line;
}

TEST(BatchDifferential, BothBuildsGiveTheSameRecordsAndFailures) {
  const char* tested = std::getenv("FRAMECALC_BATCH_PROGRAM");
  if (tested == nullptr || tested[0] == '\0') {
    GTEST_SKIP() << "the build under test names no framecalc-batch";
  }
  std::mt19937 random(2024);
  std::string records;
  for (int i = 0; i < 2000; ++i) records += RecordLine(random);

  // The records on standard input: a Windows build in a guest machine sees no file of the host.
  e2e::RunOptions options;
  options.stdinBytes = records;
  options.timeoutSeconds = 120;
  options.program = FRAMECALC_REFERENCE_BATCH_PROGRAM;
  options.direct = true;
  const e2e::RunResult reference = e2e::RunProgram(options);
  options.program = tested;
  options.direct = false;
  const e2e::RunResult underTest = e2e::RunProgram(options);

  ASSERT_FALSE(reference.timedOut);
  ASSERT_FALSE(underTest.timedOut);
  EXPECT_EQ(underTest.out, reference.out);
  EXPECT_EQ(underTest.err, reference.err);
  EXPECT_EQ(underTest.exitCode, reference.exitCode);
  // The records end in results and in each kind of failure.
  for (const char* failure : {"division by zero", "Invalid floating point operation",
                              "Invalid numeric input", "overflow"}) {
    EXPECT_NE(reference.err.find(failure), std::string::npos) << failure;
  }
}

}  // namespace
