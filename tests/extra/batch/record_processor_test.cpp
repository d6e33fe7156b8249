// The processing of whole inputs: results and messages do not depend on how the bytes arrive,
// a fault ends only its own record, a header is recognised once per input, and a failing output
// stops the run.
#include <gtest/gtest.h>

#include <string>

#include "batch/record_processor.h"
#include "numconv/extended.h"
#include "platform/faults.h"

namespace {

// Faults that reached the guard since the counter was last set to zero.
int FaultsThroughTheGuard = 0;

bool GuardWithPlatform(void (*routine)(void*), void* context, uint32_t& status) {
  platform::EXCEPTION_RECORD fault;
  if (platform::CallWithFaultGuard(routine, context, fault)) return true;
  status = fault.ExceptionCode;
  ++FaultsThroughTheGuard;
  return false;
}

bool AppendToString(void* context, const char* data, size_t size) {
  static_cast<std::string*>(context)->append(data, size);
  return true;
}

struct FailingSink {
  size_t calls = 0;
};

bool Fail(void* context, const char*, size_t) {
  ++static_cast<FailingSink*>(context)->calls;
  return false;
}

const MessageTexts Texts{"Invalid numeric input", "Floating point division by zero",
                         "Invalid floating point operation", "Floating point overflow"};

class Processing : public testing::Test {
 protected:
  void SetUp() override {
    platform::InstallFaultHandlers();
    ResetFpu();
  }
  void TearDown() override { LoadFpuControlWord(0x037F); }

  struct Output {
    std::string results, errors;
    uint64_t records = 0, failed = 0;
  };

  // The inputs (name, bytes) processed in one run, each handed over in pieces of `piece` bytes.
  static Output Process(const std::vector<std::pair<std::string, std::string>>& inputs,
                        size_t piece, OutputFormat format = {}) {
    Output output;
    char resultBlock[512], errorBlock[512];
    OutputBuffer results(resultBlock, sizeof resultBlock, &AppendToString, &output.results);
    OutputBuffer errors(errorBlock, sizeof errorBlock, &AppendToString, &output.errors);
    RecordProcessor processor(format, Texts, results, errors, &GuardWithPlatform);
    for (const auto& [name, bytes] : inputs) {
      processor.BeginInput(name.c_str());
      for (size_t offset = 0; offset < bytes.size(); offset += piece) {
        // Each piece in a buffer of its own, so that reading past it is caught by the sanitizers.
        const std::string part = bytes.substr(offset, piece);
        processor.Feed(part.data(), part.size());
      }
      processor.EndInput();
    }
    results.Flush();
    errors.Flush();
    output.records = processor.records();
    output.failed = processor.failedRecords();
    return output;
  }
};

const std::string Mixed =
    "# points and frame lines\n"
    "100 200 300 400 X 150\n"
    "1 2 1 5 X 7\n"       // parallel to the frame line: division by zero
    "12a 2 3 4 X 5\n"     // not a number
    "1e400 1 2 3 X 4\n"   // overflows the store
    "1 1 1 1 Y 1\n"       // A = B: 0/0
    "1 2 3\n"             // BY, the axis and K missing
    "0 0 10 10 Y 2.5\n";

TEST_F(Processing, GivesTheSameOutputWhateverPiecesTheInputComesIn) {
  const Output whole = Process({{"data", Mixed + "5 5 6 7 Y 1"}}, 1 << 20);
  EXPECT_EQ(whole.results, "150.00\t250.00\n\n\n\n\n\n2.50\t2.50\n3.00\t1.00\n");
  EXPECT_EQ(whole.errors,
            "data:3: Y: Floating point division by zero\n"
            "data:4: AX \"12a\": Invalid numeric input\n"
            "data:5: AX \"1e400\": Floating point overflow\n"
            "data:6: X: Invalid floating point operation\n"
            "data:7: BY: Missing field\n");
  EXPECT_EQ(whole.records, 8u);
  EXPECT_EQ(whole.failed, 5u);
  for (size_t piece : {1, 2, 3, 5, 11, 64}) {
    const Output pieces = Process({{"data", Mixed + "5 5 6 7 Y 1"}}, piece);
    EXPECT_EQ(pieces.results, whole.results) << "pieces of " << piece;
    EXPECT_EQ(pieces.errors, whole.errors) << "pieces of " << piece;
  }
}

TEST_F(Processing, AfterAFaultTheControlWordIsTheProgramsAgain) {
  Process({{"data", "1 2 1 5 X 7\n"}}, 100);
  // Bit 6 is reserved and reads as set.
  constexpr uint16_t Reserved = 0x0040;
  EXPECT_EQ(ReadFpuControlWord() & ~Reserved, DefaultFpuControlWord & ~Reserved);
}

// Records whose evaluation raises an exception that the program's control word does not mask.
// Each gets the calculator's message (framecalc faults with the same exception in the same step).
// Most are found from the exception flags without faulting; a step that raised two kinds of
// exception (a division by zero whose infinity then meets a zero) leaves their order unknown, and
// the record is evaluated again until it faults.
struct ExceptionCase {
  const char* name;
  std::string record;
  std::string message;
  int faults;  // faults that reach the guard
};

void PrintTo(const ExceptionCase& c, std::ostream* os) { *os << c.name; }

class Exceptions : public Processing, public testing::WithParamInterface<ExceptionCase> {};

TEST_P(Exceptions, GetTheCalculatorsMessage) {
  const ExceptionCase& c = GetParam();
  FaultsThroughTheGuard = 0;
  // The record between two good ones: neither is touched by its exception.
  const Output output = Process({{"f", "0 0 2 2 X 1\n" + c.record + "\n0 0 2 2 Y 1\n"}}, 4096);
  EXPECT_EQ(output.results, "1.00\t1.00\n\n1.00\t1.00\n");
  EXPECT_EQ(output.errors, "f:2: " + c.message + "\n");
  EXPECT_EQ(FaultsThroughTheGuard, c.faults);
  constexpr uint16_t Reserved = 0x0040;
  EXPECT_EQ(ReadFpuControlWord() & ~Reserved, DefaultFpuControlWord & ~Reserved);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Exceptions,
    testing::Values(
        ExceptionCase{"ParallelToTheFrameLine", "1 2 1 5 X 7", "Y: Floating point division by zero",
                      0},
        ExceptionCase{"ParallelThroughTheCorner", "1 2 1 5 X 1",
                      "Y: Floating point division by zero", 1},
        ExceptionCase{"AEqualsB", "1 1 1 1 Y 1", "X: Invalid floating point operation", 0},
        ExceptionCase{"CrossingBeyondDouble", "0 0 1e-300 1e300 X 1e300",
                      "Y: Floating point overflow", 0},
        ExceptionCase{"InfiniteReadMeetsInfinity", "1e5120 0 1 1 X 1",
                      "Y: Invalid floating point operation", 0},
        ExceptionCase{"FieldBeyondDouble", "0 0 1e4000 1 X 1", "BX \"1e4000\": Floating point overflow",
                      0},
        ExceptionCase{"KnownCoordinateBeyondDouble", "0 0 1e-4000 1 X 1e4000",
                      "K \"1e4000\": Floating point overflow", 0}),
    [](const testing::TestParamInfo<ExceptionCase>& param) { return std::string(param.param.name); });

struct HeaderCase {
  const char* name;
  std::string input;
  std::string results;
  std::string errors;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class Headers : public Processing, public testing::WithParamInterface<HeaderCase> {};

TEST_P(Headers, AreSkippedOnlyAsTheFirstRecordLine) {
  const HeaderCase& c = GetParam();
  const Output output = Process({{"f", c.input}}, 4096);
  EXPECT_EQ(output.results, c.results);
  EXPECT_EQ(output.errors, c.errors);
}

INSTANTIATE_TEST_SUITE_P(
    FirstLines, Headers,
    testing::Values(
        HeaderCase{"ColumnNames", "AX AY BX BY AXIS K\n0 0 2 2 X 1\n", "1.00\t1.00\n", ""},
        HeaderCase{"AfterCommentsAndBlankLines", "# x\n\nax;ay;bx;by;axis;k\n0 0 2 2 X 1\n",
                   "1.00\t1.00\n", ""},
        HeaderCase{"OneWord", "a\n0 0 2 2 X 1\n", "1.00\t1.00\n", ""},
        HeaderCase{"OneNumberMakesARecord", "a b c d X 1\n0 0 2 2 X 1\n",
                   "\n1.00\t1.00\n", "f:1: AX \"a\": Invalid numeric input\n"},
        HeaderCase{"AnOverflowingNumberIsANumber", "1e4940 b c d X e\n",
                   "\n", "f:1: AX \"1e4940\": Floating point overflow\n"},
        HeaderCase{"OnlyTheFirstRecordLine", "0 0 2 2 X 1\nAX AY BX BY AXIS K\n",
                   "1.00\t1.00\n\n", "f:2: AX \"AX\": Invalid numeric input\n"}),
    [](const testing::TestParamInfo<HeaderCase>& param) { return std::string(param.param.name); });

TEST_F(Processing, EveryInputMayHaveItsHeaderAndNamesItsOwnLines) {
  const Output output =
      Process({{"a.txt", "AX AY BX BY AXIS K\n0 0 2 2 X 1\n"},
               {"-", "AX AY BX BY AXIS K\n0 0 2 2 X q\n"}},
              4096);
  EXPECT_EQ(output.results, "1.00\t1.00\n\n");
  EXPECT_EQ(output.errors, "-:2: K \"q\": Invalid numeric input\n");
}

TEST_F(Processing, EchoAndFormatOptions) {
  OutputFormat format;
  format.decimals = 0;
  format.echo = true;
  format.crlf = true;
  const Output output = Process({{"f", "0,0,2,2,X,1.5\nq 0 2 2 X 1\n"}}, 4096, format);
  EXPECT_EQ(output.results, "0\t0\t2\t2\tX\t1.5\t2\t2\r\n\r\n");
  // Messages end with LF whatever the results' line ends.
  EXPECT_EQ(output.errors, "f:2: AX \"q\": Invalid numeric input\n");
}

TEST_F(Processing, StopsWhenTheResultsCannotBeWritten) {
  FailingSink sink;
  std::string errorText;
  char resultBlock[512], errorBlock[512];
  OutputBuffer results(resultBlock, sizeof resultBlock, &Fail, &sink);
  OutputBuffer errors(errorBlock, sizeof errorBlock, &AppendToString, &errorText);
  RecordProcessor processor({}, Texts, results, errors, &GuardWithPlatform);
  std::string input;
  for (int i = 0; i < 10000; ++i) input += "0 0 2 2 X 1\n";
  processor.BeginInput("f");
  processor.Feed(input.data(), input.size());
  EXPECT_TRUE(results.failed());
  EXPECT_EQ(sink.calls, 1u) << "nothing more is offered to a failed output";
  EXPECT_LT(processor.records(), 10000u) << "the run goes on after its output failed";
}

}  // namespace
