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
    bool stopped = false;
  };

  // The inputs (name, bytes) processed in one run, each handed over in pieces of `piece` bytes.
  static Output Process(const std::vector<std::pair<std::string, std::string>>& inputs,
                        size_t piece, OutputFormat format = {}, const ReadOptions& read = {}) {
    Output output;
    char resultBlock[512], errorBlock[512];
    OutputBuffer results(resultBlock, sizeof resultBlock, &AppendToString, &output.results);
    OutputBuffer errors(errorBlock, sizeof errorBlock, &AppendToString, &output.errors);
    RecordProcessor processor(format, Texts, results, errors, &GuardWithPlatform, read);
    for (const auto& [name, bytes] : inputs) {
      processor.BeginInput(name.c_str());
      for (size_t offset = 0; offset < bytes.size(); offset += piece) {
        // Each piece in a buffer of its own, so that reading past it is caught by the sanitizers.
        const std::string part = bytes.substr(offset, piece);
        processor.Feed(part.data(), part.size());
      }
      processor.EndInput();
      output.stopped = output.stopped || processor.inputStopped();
      if (processor.inputStopped()) break;
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
    "1 2 1 5 X 7\n"      // parallel to the frame line: division by zero
    "12a 2 3 4 X 5\n"    // not a number
    "1e400 1 2 3 X 4\n"  // overflows the store
    "1 1 1 1 Y 1\n"      // A = B: 0/0
    "1 2 3\n"            // BY, the axis and K missing
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
    testing::Values(ExceptionCase{"ParallelToTheFrameLine", "1 2 1 5 X 7",
                                  "Y: Floating point division by zero", 0},
                    ExceptionCase{"ParallelThroughTheCorner", "1 2 1 5 X 1",
                                  "Y: Floating point division by zero", 1},
                    ExceptionCase{"AEqualsB", "1 1 1 1 Y 1", "X: Invalid floating point operation",
                                  0},
                    ExceptionCase{"CrossingBeyondDouble", "0 0 1e-300 1e300 X 1e300",
                                  "Y: Floating point overflow", 0},
                    ExceptionCase{"InfiniteReadMeetsInfinity", "1e5120 0 1 1 X 1",
                                  "Y: Invalid floating point operation", 0},
                    ExceptionCase{"FieldBeyondDouble", "0 0 1e4000 1 X 1",
                                  "BX \"1e4000\": Floating point overflow", 0},
                    ExceptionCase{"KnownCoordinateBeyondDouble", "0 0 1e-4000 1 X 1e4000",
                                  "K \"1e4000\": Floating point overflow", 0}),
    [](const testing::TestParamInfo<ExceptionCase>& param) {
      return std::string(param.param.name);
    });

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
    testing::Values(HeaderCase{"ColumnNames", "AX AY BX BY AXIS K\n0 0 2 2 X 1\n", "1.00\t1.00\n",
                               ""},
                    HeaderCase{"AfterCommentsAndBlankLines",
                               "# x\n\nax;ay;bx;by;axis;k\n0;0;2;2;X;1\n", "1.00\t1.00\n", ""},
                    HeaderCase{"OneWord", "a\n0 0 2 2 X 1\n", "1.00\t1.00\n", ""},
                    HeaderCase{"OneNumberMakesARecord", "a b c d X 1\n0 0 2 2 X 1\n",
                               "\n1.00\t1.00\n", "f:1: AX \"a\": Invalid numeric input\n"},
                    HeaderCase{"AnOverflowingNumberIsANumber", "1e4940 b c d X e\n", "\n",
                               "f:1: AX \"1e4940\": Floating point overflow\n"},
                    HeaderCase{"OnlyTheFirstRecordLine", "0 0 2 2 X 1\nAX AY BX BY AXIS K\n",
                               "1.00\t1.00\n\n", "f:2: AX \"AX\": Invalid numeric input\n"}),
    [](const testing::TestParamInfo<HeaderCase>& param) { return std::string(param.param.name); });

TEST_F(Processing, EveryInputMayHaveItsHeaderAndNamesItsOwnLines) {
  const Output output = Process(
      {{"a.txt", "AX AY BX BY AXIS K\n0 0 2 2 X 1\n"}, {"-", "AX AY BX BY AXIS K\n0 0 2 2 X q\n"}},
      4096);
  EXPECT_EQ(output.results, "1.00\t1.00\n\n");
  EXPECT_EQ(output.errors, "-:2: K \"q\": Invalid numeric input\n");
}

TEST_F(Processing, EchoAndFormatOptions) {
  OutputFormat format;
  format.decimals = 0;
  format.echo = true;
  format.crlf = true;
  const Output output = Process({{"f", "0,0,2,2,X,1.5\nq,0,2,2,X,1\n"}}, 4096, format);
  EXPECT_EQ(output.results, "0\t0\t2\t2\tX\t1.5\t2\t2\r\n\r\n");
  // Messages end with LF whatever the results' line ends.
  EXPECT_EQ(output.errors, "f:2: AX \"q\": Invalid numeric input\n");
}

// Where both outputs go to one file (2>&1), a message follows the result lines written before it,
// though the results gather in a far larger block than the messages.
TEST_F(Processing, MessagesFollowTheResultsBeforeThemWhereBothOutputsMeet) {
  std::string both;
  static char resultBlock[64 * 1024];
  char errorBlock[512];
  OutputBuffer results(resultBlock, sizeof resultBlock, &AppendToString, &both);
  OutputBuffer errors(errorBlock, sizeof errorBlock, &AppendToString, &both);
  errors.FollowAfter(&results);
  RecordProcessor processor(OutputFormat{}, Texts, results, errors, &GuardWithPlatform);
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "0 0 2 2 X 1\n";
  for (int i = 0; i < 600; ++i) input += "0 0 2 2 X z\n";
  processor.BeginInput("f");
  processor.Feed(input.data(), input.size());
  processor.EndInput();
  results.Flush();
  errors.Flush();
  uint64_t resultLines = 0, messages = 0;
  for (size_t start = 0; start < both.size();) {
    const size_t end = both.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = both.substr(start, end - start);
    start = end + 1;
    if (line.rfind("f:", 0) != 0) {
      ++resultLines;
      continue;
    }
    ++messages;
    const uint64_t lineNumber = std::stoull(line.substr(2));
    ASSERT_GE(resultLines, lineNumber) << "the message of line " << lineNumber
                                       << " came after only " << resultLines << " result lines";
  }
  EXPECT_EQ(resultLines, 2600u);
  EXPECT_EQ(messages, 600u);
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

// How files are read: the delimiter, quotes, line ends, the header and its columns, the decimal
// comma, the encodings, and the table written back. Each case in pieces of every size, so that
// quotes, CR LF, the byte-order mark and the held first line are cut everywhere.
struct ReadCase {
  const char* name;
  std::vector<std::string> options;  // --table, --decimal-comma, --delimiter=X, --columns=...
  std::string input;
  std::string results;
  std::string errors;
  bool stopped = false;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class Reading : public Processing, public testing::WithParamInterface<ReadCase> {};

TEST_P(Reading, GivesTheseResultsInPiecesOfEverySize) {
  const ReadCase& c = GetParam();
  OutputFormat format;
  ReadOptions read;
  for (const std::string& option : c.options) {
    if (option == "--table") format.table = true;
    if (option == "--decimal-comma") read.decimalComma = true;
    if (option.rfind("--delimiter=", 0) == 0) {
      read.delimiterGiven = true;
      const std::string value = option.substr(12);
      read.delimiter = value == ","     ? Delimiter::Comma
                       : value == ";"   ? Delimiter::Semicolon
                       : value == "tab" ? Delimiter::Tab
                                        : Delimiter::Blank;
    }
    if (option.rfind("--columns=", 0) == 0) {
      const char* problem = nullptr;
      ASSERT_TRUE(ParseColumnRequest(option.c_str() + 10, read.columns, problem)) << problem;
    }
  }
  for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{16}, size_t{1} << 20}) {
    const Output output = Process({{"f", c.input}}, piece, format, read);
    EXPECT_EQ(output.results, c.results) << "pieces of " << piece;
    EXPECT_EQ(output.errors, c.errors) << "pieces of " << piece;
    EXPECT_EQ(output.stopped, c.stopped) << "pieces of " << piece;
  }
}

const std::string RStyle =
    "\"\",\"AX\",\"AY\",\"BX\",\"BY\",\"AXIS\",\"K\"\n"
    "\"1\",100,200,300,400,\"X\",150\n"
    "\"2\",100,200,300,400,\"y\",250\n";

const std::string Utf16Message =
    "f:1: encoding: UTF-16 text (a byte-order mark, or zero bytes between the characters): save "
    "the file as UTF-8 (or ASCII) text\n";

INSTANTIATE_TEST_SUITE_P(
    Files, Reading,
    testing::Values(
        ReadCase{"QuotedAxisIsTheAxis", {}, "100,200,300,400,\"X\",150\n", "150.00\t250.00\n", ""},
        ReadCase{
            "AxisInEitherCase", {}, "0 0 4 2 x 1\n0 0 4 2 y 1\n", "1.00\t0.50\n2.00\t1.00\n", ""},
        ReadCase{
            "AnyOtherAxisIsAnError",
            {},
            "0 0 4 2 XX 1\n0 0 4 2 Z 1\n0 0 4 2 \"\" 1\n",
            "\n\n\n",
            "f:1: AXIS \"XX\": Not X or Y\nf:2: AXIS \"Z\": Not X or Y\nf:3: AXIS: Empty field\n"},
        ReadCase{"AnEmptyAxisCellIsAnError", {}, "0,0,4,2,,1\n", "\n", "f:1: AXIS: Empty field\n"},
        ReadCase{"EmptyCellIsAnErrorNeverAShift",
                 {},
                 "100;200;;400;X;150\n",
                 "\n",
                 "f:1: BX: Empty field\n"},
        ReadCase{"NumbersNeedADigit",
                 {},
                 ".,1,2,3,X,4\n1,-.,2,3,X,4\n1,2,e5,3,X,4\n",
                 "\n\n\n",
                 "f:1: AX \".\": Invalid numeric input (no digit)\n"
                 "f:2: AY \"-.\": Invalid numeric input (no digit)\n"
                 "f:3: BX \"e5\": Invalid numeric input (no digit)\n"},
        ReadCase{"DecimalCommaWithoutTheOption",
                 {},
                 "100,5;200;300;400;X;150\n",
                 "\n",
                 "f:1: AX \"100,5\": Invalid numeric input (a decimal comma needs --decimal-comma; "
                 "digit grouping is not read)\n"},
        ReadCase{"DecimalComma",
                 {"--decimal-comma"},
                 "100,5;200;300,5;400;X;150,25\n",
                 "150.25\t249.75\n",
                 ""},
        ReadCase{"DecimalCommaNeverDetectsTheComma",
                 {"--decimal-comma"},
                 "0 0 4,0 2 X 1,0\n",
                 "1.00\t0.50\n",
                 ""},
        ReadCase{
            "NoDigitGroupingWithTheDecimalComma",
            {"--decimal-comma"},
            "1.000,5;0;2;2;X;1\n",
            "\n",
            "f:1: AX \"1.000,5\": Invalid numeric input (with --decimal-comma the decimal point "
            "is the comma; digit grouping is not read)\n"},
        ReadCase{"OneDelimiterAFile",
                 {},
                 "0,0,2,2,X,1\n0;0;2;2;X;1\n",
                 "1.00\t1.00\n\n",
                 "f:2: AX \"0;0;2;2;X;1\": Invalid numeric input\n"},
        ReadCase{
            "DecimalCommaInACommaFile",
            {},
            "0,5,0,2,2,X,1\n",
            "\n",
            "f:1: field 7 \"1\": Too many fields (6 expected; other columns need a header naming "
            "AX, AY, BX, BY, AXIS and K, or --columns) (if \",\" is the decimal point here, give "
            "--decimal-comma)\n"},
        ReadCase{"TabDetectedBeforeTheOthers", {}, "a;b\tc,d\n", "", ""},
        ReadCase{
            "GivenDelimiter",
            {"--delimiter=;"},
            "0,5;0;2;2;X;1\n",
            "\n",
            "f:1: AX \"0,5\": Invalid numeric input (a decimal comma needs --decimal-comma; digit "
            "grouping is not read)\n"},
        ReadCase{
            "QuotesHoldDelimitersAndLineEnds",
            {},
            "ID,AX,AY,BX,BY,AXIS,K,Remark\n7,0,0,2,2,X,1,\"a, \"\"b\"\"\nc\"\n8,0,0,4,2,Y,1,\n",
            "1.00\t1.00\n2.00\t1.00\n",
            ""},
        ReadCase{"QuoteNotClosed",
                 {},
                 "0,0,2,2,X,1\n0,0,2,\"2,X,1\n0,0,2,2,X,1\n",
                 "1.00\t1.00\n\n",
                 "f:2: BY: Quote not closed (the input ends inside it)\n"},
        ReadCase{"TextAfterTheClosingQuote",
                 {},
                 "0,\"0\"5,2,2,X,1\n",
                 "\n",
                 "f:1: AY: Text after the closing quote\n"},
        ReadCase{"LoneCarriageReturns",
                 {},
                 "0 0 2 2 X 1\r# c\r\r0 0 4 2 Y 1\r",
                 "1.00\t1.00\n2.00\t1.00\n",
                 ""},
        ReadCase{"QuotedRecordIsNoHeader",
                 {},
                 "\"0\",\"0\",\"2\",\"2\",\"X\",\"1\"\n",
                 "1.00\t1.00\n",
                 ""},
        ReadCase{
            "EastingNorthingHeader", {}, "E1,N1,E2,N2,AXIS,K\n0,0,2,2,X,1\n", "1.00\t1.00\n", ""},
        ReadCase{"HeaderWithRowNamesAndQuotes", {}, RStyle, "150.00\t250.00\n150.00\t250.00\n", ""},
        ReadCase{"HeaderNamesInAnyOrderAndCase",
                 {},
                 "k;Axis;by;bx;ay;ax;id\n1;X;2;2;0;0;a\n",
                 "1.00\t1.00\n",
                 ""},
        ReadCase{
            "RecordsHaveTheHeadersFieldCount",
            {},
            RStyle + "\"3\",100,200,300,400,\"X\",150,9\n",
            "150.00\t250.00\n150.00\t250.00\n\n",
            "f:4: record: 8 fields, but the header has 7 (if \",\" is the decimal point here, give "
            "--decimal-comma)\n"},
        ReadCase{"HeaderMissingAColumnStopsTheInput",
                 {},
                 "ID,AX,AY,BX,BY,K\n1,0,0,2,2,1\n",
                 "",
                 "f:1: header: the header has no column AXIS: name all six columns AX, AY, BX, BY, "
                 "AXIS and K (in any order), or choose them with --columns\n",
                 true},
        ReadCase{"HeaderNamingAColumnTwice",
                 {},
                 "AX,AY,BX,BY,AXIS,K,ax\n",
                 "",
                 "f:1: header: the header names two columns AX\n",
                 true},
        ReadCase{"ColumnsByName",
                 {"--columns=East A,North A,East B,North B,Axis,Frame"},
                 "Nr;North A;East A;North B;East B;Axis;Frame\n1;0;0;2;4;Y;1\n",
                 "2.00\t1.00\n",
                 ""},
        ReadCase{"ColumnsByNumber",
                 {"--columns=2,3,4,5,6,7"},
                 "a 0 0 2 2 X 1 rest\n",
                 "1.00\t1.00\n",
                 ""},
        ReadCase{"ColumnsByNumberPastTheLine",
                 {"--columns=2,3,4,5,6,9"},
                 "a 0 0 2 2 X 1\n",
                 "\n",
                 "f:1: K: Missing field (column 9)\n"},
        ReadCase{"ColumnsNameWithoutHeader",
                 {"--columns=a,b,c,d,e,f"},
                 "0 0 2 2 X 1\n",
                 "",
                 "f:1: columns: --columns names the column \"a\", but the first line is no header "
                 "(it holds a number)\n",
                 true},
        ReadCase{"ByteOrderMarkIsSkipped",
                 {},
                 "\xEF\xBB\xBF"
                 "AX,AY,BX,BY,AXIS,K\r\n0,0,2,2,X,1\r\n",
                 "1.00\t1.00\n",
                 ""},
        ReadCase{"Utf16IsRefused",
                 {},
                 std::string("\xFF\xFE"
                             "0\0 \0"
                             "0\0\n\0",
                             10),
                 "",
                 Utf16Message,
                 true},
        ReadCase{"Utf16WithoutMarkIsRefused",
                 {},
                 std::string("0\0 \0"
                             "0\0\n\0",
                             8),
                 "",
                 Utf16Message,
                 true},
        ReadCase{"ZeroByteInAField",
                 {},
                 std::string("0,0,2,2,X,1\n1\0x,2,3,4,X,5\n\"1\0\n7\",2,3,4,X,5\n", 38),
                 "1.00\t1.00\n\n\n",
                 "f:2: AX: A zero byte in the field (binary data, or UTF-16 text; save the file as "
                 "UTF-8)\nf:3: AX: A zero byte in the field (binary data, or UTF-16 text; save the "
                 "file as UTF-8)\n"},
        ReadCase{"EmptyQuotedFirstLineIsBlank", {}, "\"\"\n1;2;3;4;X;5\n", "5.00\t6.00\n", ""},
        // Lines as long as the buffer that holds the first line, and longer.
        ReadCase{"FullBufferLineEndedByCrLf",
                 {},
                 std::string(16383, '#') + "\r\n0 0 2 2 X 1\r\n",
                 "1.00\t1.00\n",
                 ""},
        ReadCase{"LongBlankLineBeforeTheFirstRecord",
                 {},
                 std::string(16400, ' ') + "\n1;2;3;4;X;5\n",
                 "5.00\t6.00\n",
                 ""},
        ReadCase{"LongRunOfBlanksBeforeAField",
                 {},
                 std::string(16400, ' ') + "1;2;3;4;X;5\n",
                 "",
                 "f:1: line: more than 16384 bytes of blanks and delimiters before the first field "
                 "of the line; its fields cannot be told\n",
                 true},
        ReadCase{"LongCommentLastInATable",
                 {"--table"},
                 std::string(16384, '#'),
                 std::string(16384, '#') + "\n",
                 ""},
        ReadCase{"LongFirstRecordLine",
                 {},
                 "0 0 2 2 X 1" + std::string(20000, ' ') + "\n0 0 4 2 Y 1",
                 "1.00\t1.00\n2.00\t1.00\n",
                 ""},
        ReadCase{"TableRepeatsEveryLine",
                 {"--table"},
                 "# "
                 "frame\nAX,AY,BX,BY,AXIS,K,Remark\n\n0,0,2,2,X,1,\"a,b\"\n0,0,2,2,X,3,\n1,1,1,1,Y,"
                 "1,\n,,,,,,\n",
                 "# frame\nAX,AY,BX,BY,AXIS,K,Remark,X,Y,on_AB,error\n\n"
                 "0,0,2,2,X,1,\"a,b\",1.00,1.00,yes,\n"
                 "0,0,2,2,X,3,,3.00,3.00,no,\n"
                 "1,1,1,1,Y,1,,,,,X: Invalid floating point operation\n"
                 ",,,,,,\n",
                 "f:6: X: Invalid floating point operation\n"},
        ReadCase{"TableQuotesMessagesAndKeepsBlanks",
                 {"--table"},
                 "\xEF\xBB\xBF"
                 "0  0  2  2  X  1\r\n0  0  2  2  Q  1\r\n",
                 "\xEF\xBB\xBF"
                 "0  0  2  2  X  1 1.00 1.00 yes \"\"\n"
                 "0  0  2  2  Q  1 \"\" \"\" \"\" \"AXIS \"\"Q\"\": Not X or Y\"\n",
                 "f:2: AXIS \"Q\": Not X or Y\n"},
        ReadCase{"TableWithSemicolonsAndDecimalComma",
                 {"--table", "--decimal-comma"},
                 "AX;AY;BX;BY;AXIS;K\n0;0;2;2;x;0,5\n1,5;0;1,5;2;X;1\n",
                 "AX;AY;BX;BY;AXIS;K;X;Y;on_AB;error\n0;0;2;2;x;0,5;0,50;0,50;yes;\n"
                 "1,5;0;1,5;2;X;1;;;;Y: Floating point division by zero\n",
                 "f:3: Y: Floating point division by zero\n"}),
    [](const testing::TestParamInfo<ReadCase>& param) { return std::string(param.param.name); });

}  // namespace
