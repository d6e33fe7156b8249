// Reading reals, lines and line ends from a scripted standard input.
#include "textio/read_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_console.h"

namespace {

class ReadValuesTest : public ::testing::Test {
 protected:
  fake::FakeConsole console;
  fake::InstallFakeConsole install{console};

  void Input(const std::vector<std::string>& chunks) {
    for (const std::string& chunk : chunks) console.AddInput(chunk);
  }
  std::string ReadLine() {
    std::string line;
    ReadLineToString(ConsoleInput, line);
    return line;
  }
  // One read statement of the dialogue: the value, then the skip to the next line.
  Extended ReadRealLine() {
    const Extended value = ReadRealValue(ConsoleInput);
    SkipToNextLine(ConsoleInput);
    return value;
  }
};

// ---- Reals ---------------------------------------------------------------------------------

struct RealCase {
  const char* name;
  std::vector<std::string> chunks;  // what each ReadFile delivers
  Extended value;
  int32_t pending;
  const char* nextLine;  // what a line read finds after the statement
};
void PrintTo(const RealCase& c, std::ostream* os) { *os << c.name; }

class ReadRealTest : public ReadValuesTest, public ::testing::WithParamInterface<RealCase> {};

TEST_P(ReadRealTest, ReadsOneStatement) {
  const RealCase& c = GetParam();
  Input(c.chunks);
  EXPECT_EQ(ReadRealLine(), c.value);
  EXPECT_EQ(PeekPendingIoError(), c.pending);
  EXPECT_EQ(ReadLine(), c.nextLine);
}

const std::string Zeros63(63, '0');

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadRealTest,
    ::testing::Values(
        RealCase{"Plain", {"12.5\r\nnext\r\n"}, 12.5L, 0, "next"},
        RealCase{"SecondNumberOnTheLineIsDiscarded", {"12.5 7\r\nnext\r\n"}, 12.5L, 0, "next"},
        RealCase{"BlankLinesAndTabsAreCrossed",
                 {"\r\n\r\n \t\r\n", "   -3\r\nnext\r\n"},
                 -3.0L,
                 0,
                 "next"},
        RealCase{"DecimalCommaIs106", {"12,5\r\nnext\r\n"}, 12.0L, IoErrorInvalidNumber, "next"},
        RealCase{"TrailingLetterIs106", {"12a\r\nnext\r\n"}, 12.0L, IoErrorInvalidNumber, "next"},
        RealCase{"HighBytesBelongToTheToken",
                 {"\xB5"
                  "12\r\nnext\r\n"},
                 0.0L,
                 IoErrorInvalidNumber,
                 "next"},
        RealCase{"TokenSplitAcrossReads", {"  1", "2.", "5\r", "\nnext\r\n"}, 12.5L, 0, "next"},
        // Only the first 64 characters form the token: the 65th ("x") would make it invalid.
        RealCase{"TokenStopsAfter64Characters", {Zeros63 + "7x\r\nnext\r\n"}, 7.0L, 0, "next"},
        RealCase{"SixtyFiveCharacterNumberUsesItsFirst64",
                 {Zeros63 + "12\r\nnext\r\n"},
                 1.0L,
                 0,
                 "next"},
        RealCase{"NoLineEndAtTheEnd", {"3.25"}, 3.25L, 0, ""},
        RealCase{"EmptyInputIsZeroWithoutError", {}, 0.0L, 0, ""},
        RealCase{"OnlyBlanksThenEndOfInput", {"  \r\n\r\n"}, 0.0L, 0, ""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(ReadValuesTest, TokenLeavesItsEndingCharacterAndTheRestOfALongRun) {
  Input({Zeros63 + "12 z\r\n"});
  EXPECT_EQ(ReadRealValue(ConsoleInput), 1.0L);
  const StreamChar next = ReadNextChar(ConsoleInput);
  EXPECT_FALSE(next.endOfFile);
  EXPECT_EQ(next.value, '2');
}

TEST_F(ReadValuesTest, BlankEndingTheTokenStaysInTheInput) {
  Input({"8\r\n"});
  EXPECT_EQ(ReadRealValue(ConsoleInput), 8.0L);
  EXPECT_EQ(ReadNextChar(ConsoleInput).value, '\r');
  EXPECT_EQ(ReadNextChar(ConsoleInput).value, '\n');
}

TEST_F(ReadValuesTest, DialogueOfFiveNumbersAndAnAnswer) {
  Input({"1\r\n2\r\n", "\r\n3.5\r\n-4\r\n", "5e1\r\n X \r\n\r\n"});
  std::vector<Extended> values;
  for (int i = 0; i < 5; ++i) values.push_back(ReadRealLine());
  EXPECT_EQ(values, (std::vector<Extended>{1.0L, 2.0L, 3.5L, -4.0L, 50.0L}));
  EXPECT_EQ(ReadLine(), " X ");
  SkipToNextLine(ConsoleInput);
  EXPECT_EQ(ReadLine(), "");  // the final Enter
  SkipToNextLine(ConsoleInput);
  EXPECT_EQ(PeekPendingIoError(), 0);
}

// ---- Lines ---------------------------------------------------------------------------------

struct LineCase {
  const char* name;
  std::vector<std::string> chunks;
  std::string line;
  const char* nextLine;  // after SkipToNextLine
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class ReadLineTest : public ReadValuesTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ReadLineTest, ReadsTheLineAndLeavesItsEnd) {
  const LineCase& c = GetParam();
  Input(c.chunks);
  EXPECT_EQ(ReadLine(), c.line);
  SkipToNextLine(ConsoleInput);
  EXPECT_EQ(ReadLine(), c.nextLine);
  EXPECT_EQ(PeekPendingIoError(), 0);
}

const std::string Line255 = [] {
  std::string s;
  for (int i = 0; i < 255; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}();
const std::string Line600 = [] {
  std::string s;
  for (int i = 0; i < 600; ++i) s += static_cast<char>('0' + i % 10);
  return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadLineTest,
    ::testing::Values(
        LineCase{"ThreeLetters", {"abc\r\nnext\r\n"}, "abc", "next"},
        LineCase{"BlanksBelongToTheLine", {"  X  \r\nnext\r\n"}, "  X  ", "next"},
        LineCase{"LoneCrIsDropped", {"a\rb\r\rc\r\nnext\r\n"}, "abc", "next"},
        LineCase{"LfAloneEndsTheLine", {"ab\ncd\n"}, "ab", "cd"},
        LineCase{"OtherControlCharactersAreKept",
                 {std::string("a\tb\0c\x1b\r\nn\r\n", 11)},
                 std::string("a\tb\0c\x1b", 6),
                 "n"},
        LineCase{"CrAtTheEndOfTheBufferThenLf", {"abc\r", "\nnext\r\n"}, "abc", "next"},
        LineCase{"CrAtTheEndOfTheBufferThenText", {"abc\r", "de\r\nnext\r\n"}, "abcde", "next"},
        LineCase{"CrAtTheEndOfAFullBuffer",
                 {std::string(127, 'w') + "\r", "\nnext\r\n"},
                 std::string(127, 'w'),
                 "next"},
        LineCase{"LineSpanningRefills", {"ab", "cd", "ef\r\nnext\r\n"}, "abcdef", "next"},
        LineCase{"CtrlZEndsTheLineAndIsConsumed",
                 {"ab\x1a"
                  "cd\r\nnext\r\n"},
                 "ab",
                 "next"},
        // At the front of a refill the 26 is the end of the input: the next line read finds it
        // and consumes it, and is empty.
        LineCase{"CtrlZAtTheFrontOfARefillIsTheEnd",
                 {"ab",
                  "\x1a"
                  "cd\r\nnext\r\n"},
                 "ab",
                 ""},
        LineCase{"EmptyLine", {"\r\nnext\r\n"}, "", "next"},
        LineCase{"NoLineEndAtTheEnd", {"last"}, "last", ""},
        LineCase{"Exactly255", {Line255 + "\r\nnext\r\n"}, Line255, "next"},
        LineCase{"Exactly255ThenEndOfInput", {Line255}, Line255, ""},
        LineCase{"Long600", {Line600 + "\r\nnext\r\n"}, Line600, "next"},
        LineCase{"Long600InOddChunks",
                 {Line600.substr(0, 100), Line600.substr(100, 155), Line600.substr(255) + "\r",
                  "\nnext\r\n"},
                 Line600,
                 "next"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(ReadValuesTest, LineSegmentStopsAtItsMaximumAndLeavesTheRest) {
  Input({"abcdef\r\n"});
  char part[8] = {};
  EXPECT_EQ(ReadLineSegment(ConsoleInput, part, 0), 0);
  EXPECT_EQ(ReadLineSegment(ConsoleInput, part, -5), 0);
  EXPECT_EQ(ReadLineSegment(ConsoleInput, part, 4), 4);
  EXPECT_EQ(std::string(part, 4), "abcd");
  EXPECT_EQ(ReadLineSegment(ConsoleInput, part, 8), 2);
  EXPECT_EQ(std::string(part, 2), "ef");
  EXPECT_EQ(ReadLineSegment(ConsoleInput, part, 8), 0);  // at the CR LF
}

TEST_F(ReadValuesTest, ShortStringHoldsAtMost255) {
  Input({std::string(300, 'k') + "\r\n"});
  CountedText text;
  ReadShortString(ConsoleInput, text);
  EXPECT_EQ(text.length, 255);
  EXPECT_EQ(std::string(text.chars, 255), std::string(255, 'k'));
  ReadShortString(ConsoleInput, text);
  EXPECT_EQ(text.length, 45);
}

// ---- End of input, Ctrl+Z and read failures -------------------------------------------------

TEST_F(ReadValuesTest, AtEndOfInputNothingWaitsAndNothingIsRecorded) {
  Input({"1\r\n"});
  EXPECT_EQ(ReadRealLine(), 1.0L);
  const size_t readsBefore = console.reads.size();
  // End of input: the first read finds it, the mark in the buffer answers the rest.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadRealLine(), 0.0L);
  EXPECT_EQ(console.reads.size(), readsBefore + 1);
  // A line read consumes the mark; the read after it asks the device again.
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(console.reads.size(), readsBefore + 1);
  EXPECT_EQ(ReadRealLine(), 0.0L);
  EXPECT_EQ(console.reads.size(), readsBefore + 2);
  EXPECT_EQ(PeekPendingIoError(), 0);
}

TEST_F(ReadValuesTest, DeviceThatDeliversMoreAfterEndOfInputIsReadAgain) {
  console.AddEndOfInput();
  Input({"5\r\n"});
  EXPECT_EQ(ReadRealLine(), 0.0L);
  EXPECT_EQ(ReadLine(), "");  // consumes the end mark
  EXPECT_EQ(ReadRealLine(), 5.0L);
}

TEST_F(ReadValuesTest, CtrlZAtTheFrontOfARefillStopsEveryReadUntilALineReadConsumesIt) {
  Input({"1\r\n",
         "\x1a"
         "7\r\n"});
  EXPECT_EQ(ReadRealLine(), 1.0L);
  EXPECT_EQ(ReadRealLine(), 0.0L);
  EXPECT_EQ(ReadRealLine(), 0.0L);
  EXPECT_EQ(console.reads.size(), 2u);  // no read waits behind the mark
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(ReadRealLine(), 7.0L);
  EXPECT_EQ(PeekPendingIoError(), 0);
}

TEST_F(ReadValuesTest, CtrlZInTheMiddleOfARealLineEndsTheToken) {
  Input(
      {"42\x1a"
       "99\r\n"});
  EXPECT_EQ(ReadRealLine(), 42.0L);
  EXPECT_EQ(ReadRealLine(), 0.0L);  // the mark is still there
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(ReadRealLine(), 99.0L);
}

TEST_F(ReadValuesTest, BrokenPipeIsEndOfInput) {
  console.AddReadFailure(platform::ERROR_BROKEN_PIPE);
  EXPECT_EQ(ReadRealLine(), 0.0L);
  EXPECT_EQ(ReadLine(), "");
  EXPECT_EQ(PeekPendingIoError(), 0);
}

TEST_F(ReadValuesTest, ReadFailureIsRecordedAndTheNextReadTriesAgain) {
  console.AddReadFailure(platform::ERROR_ACCESS_DENIED);
  Input({"8\r\n"});
  EXPECT_EQ(ReadRealValue(ConsoleInput), 0.0L);
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_ACCESS_DENIED));
  EXPECT_EQ(ReadRealLine(), 8.0L);
  // The code stays until it is taken.
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_ACCESS_DENIED));
  for (const fake::ReadCall& call : console.reads) {
    EXPECT_EQ(call.handle, fake::InputHandle);
    EXPECT_EQ(call.size, 128u);
  }
}

TEST_F(ReadValuesTest, WithoutCrLfModeCtrlZIsAnOrdinaryCharacter) {
  Input({"x\r\n",
         "a\x1a"
         "b\r\n"});
  ReadLine();
  SkipToNextLine(ConsoleInput);
  ConsoleInput.flags = 0;
  EXPECT_EQ(ReadLine(),
            "a\x1a"
            "b");
  SkipToNextLine(ConsoleInput);
  // No mark is left at the end of the input: each read asks the device again.
  const size_t before = console.reads.size();
  EXPECT_TRUE(ReadNextChar(ConsoleInput).endOfFile);
  EXPECT_TRUE(ReadNextChar(ConsoleInput).endOfFile);
  EXPECT_EQ(console.reads.size(), before + 2);
}

// ---- Records in a state the operations never leave them in -----------------------------------

TEST_F(ReadValuesTest, BufferEndBeyondTheBufferIsNeverReadPast) {
  Input({std::string(128, 'a')});
  EXPECT_EQ(ReadNextChar(ConsoleInput).value, 'a');
  ConsoleInput.bufferEnd = 100000;
  EXPECT_EQ(ReadLine(), std::string(127, 'a'));
}

TEST_F(ReadValuesTest, PositionBeyondTheEndRefills) {
  Input({"1\r\n", "2\r\n"});
  EXPECT_EQ(ReadRealLine(), 1.0L);
  ConsoleInput.bufferPos = 5000;
  EXPECT_EQ(ReadRealLine(), 2.0L);
}

}  // namespace
