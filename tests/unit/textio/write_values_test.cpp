// Writing strings, reals, characters, padding and line ends, on a scripted standard output.
#include "textio/write_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_console.h"

namespace {

class WriteValuesTest : public ::testing::Test {
 protected:
  fake::FakeConsole console;
  fake::InstallFakeConsole install{console};

  // Everything that reached standard output once the stream is closed.
  std::string Output() {
    CloseTextStream(ConsoleOutput);
    return console.Written();
  }
  void UseDisk() { console.fileType[1] = platform::FILE_TYPE_DISK; }
};

struct StringCase {
  const char* name;
  std::string text;
  int32_t width;
  std::string written;
};
void PrintTo(const StringCase& c, std::ostream* os) { *os << c.name; }

class WriteStringTest : public WriteValuesTest, public ::testing::WithParamInterface<StringCase> {};

TEST_P(WriteStringTest, RightJustifiesWithoutCutting) {
  const StringCase& c = GetParam();
  UseDisk();
  WriteStringValue(ConsoleOutput, c.text, c.width);
  EXPECT_EQ(Output(), c.written);
  EXPECT_EQ(PeekPendingIoError(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, WriteStringTest,
    ::testing::Values(StringCase{"EmptyWidth0", "", 0, ""}, StringCase{"EmptyWidth3", "", 3, "   "},
                      StringCase{"Shorter", "ab", 5, "   ab"},
                      StringCase{"ExactWidth", "abcde", 5, "abcde"},
                      StringCase{"LongerIsWrittenWhole", "abcdef", 3, "abcdef"},
                      StringCase{"NegativeWidth", "ab", -4, "ab"},
                      StringCase{"MostNegativeWidth", "ab", INT32_MIN, "ab"},
                      StringCase{"BytesAsTheyAre", std::string("\xE9\0\xFF", 3), 0,
                                 std::string("\xE9\0\xFF", 3)},
                      StringCase{"Padding150", "x", 151, std::string(150, ' ') + "x"},
                      StringCase{"LongString", std::string(1000, 's'), 0, std::string(1000, 's')}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct RealCase {
  const char* name;
  Extended value;
  int32_t width;
  int32_t decimals;
  std::string written;
};
void PrintTo(const RealCase& c, std::ostream* os) { *os << c.name; }

class WriteRealTest : public WriteValuesTest, public ::testing::WithParamInterface<RealCase> {};

TEST_P(WriteRealTest, WritesTheTextRightJustified) {
  const RealCase& c = GetParam();
  WriteRealValue(ConsoleOutput, c.value, c.width, c.decimals);
  WriteChar(ConsoleOutput, 'm');
  WriteLineEnd(ConsoleOutput);
  EXPECT_EQ(console.Written(), c.written + "m\r\n");
}

INSTANTIATE_TEST_SUITE_P(Values, WriteRealTest,
                         ::testing::Values(RealCase{"OnePointFive", 1.5L, 5, 2, " 1.50"},
                                           RealCase{"LongerThanTheWidth", 150.0L, 5, 2, "150.00"},
                                           RealCase{"Negative", -7.0L, 5, 2, "-7.00"},
                                           RealCase{"WideField", 12.5L, 9, 2, "    12.50"},
                                           RealCase{"WidthBeyond255IsPaddedByTheWriter", 1.0L, 300,
                                                    2, std::string(296, ' ') + "1.00"}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(WriteValuesTest, PaddingOf150LeavesInBlocksAndStopsOnceACodeIsPending) {
  UseDisk();
  WritePadding(ConsoleOutput, 150);
  EXPECT_EQ(ConsoleOutput.bufferPos, 22u);  // 64 + 64 went out as one 128-byte block
  EXPECT_EQ(console.WriteSizes(), std::vector<size_t>{128});

  // With a code already pending, only the first 64-space block is written.
  fake::ResetStreams();
  UseDisk();
  SetPendingIoError(106);
  WritePadding(ConsoleOutput, 150);
  EXPECT_EQ(ConsoleOutput.bufferPos, 64u);
  // A count of at most 64 does not look at the code.
  WritePadding(ConsoleOutput, 64);
  EXPECT_EQ(ConsoleOutput.bufferPos, 0u);  // 128 bytes: written out at once
}

TEST_F(WriteValuesTest, PaddingStopsBetweenBlocksWhenItsOwnWriteFails) {
  UseDisk();
  console.AddWriteResult(platform::ERROR_DISK_FULL);
  WriteStringValue(ConsoleOutput, std::string(100, 'p'), 0);
  WritePadding(ConsoleOutput, 200);
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_DISK_FULL));
  EXPECT_EQ(ConsoleOutput.bufferPos, 0u);  // no block after the failure
  EXPECT_EQ(console.writes.size(), 1u);
}

TEST_F(WriteValuesTest, NonPositivePaddingWritesNothing) {
  UseDisk();
  WritePadding(ConsoleOutput, 0);
  WritePadding(ConsoleOutput, -70);
  EXPECT_EQ(Output(), "");
}

TEST_F(WriteValuesTest, CharacterThatFillsTheBufferWaitsForTheNextWrite) {
  UseDisk();
  for (int i = 0; i < 128; ++i) WriteChar(ConsoleOutput, 'c');
  EXPECT_TRUE(console.writes.empty());
  EXPECT_EQ(ConsoleOutput.bufferPos, 128u);
  WriteChar(ConsoleOutput, 'd');
  EXPECT_EQ(console.WriteSizes(), std::vector<size_t>{128});
  EXPECT_EQ(Output(), std::string(128, 'c') + "d");
}

TEST_F(WriteValuesTest, EmptyBlockAfterAFullBufferWritesItOut) {
  UseDisk();
  for (int i = 0; i < 128; ++i) WriteChar(ConsoleOutput, 'c');
  WriteStringValue(ConsoleOutput, "", 0);
  EXPECT_EQ(console.WriteSizes(), std::vector<size_t>{128});
  EXPECT_EQ(ConsoleOutput.bufferPos, 0u);
}

TEST_F(WriteValuesTest, FailedCharacterWriteDropsTheCharacter) {
  UseDisk();
  console.AddWriteResult(platform::ERROR_NO_DATA);
  for (int i = 0; i < 128; ++i) WriteChar(ConsoleOutput, 'c');
  WriteChar(ConsoleOutput, 'd');
  WriteChar(ConsoleOutput, 'e');
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_NO_DATA));
  EXPECT_EQ(Output(), "e");
}

TEST_F(WriteValuesTest, LineEndFollowsCrLfMode) {
  UseDisk();
  WriteLineEnd(ConsoleOutput);  // the first output of the run: the open sets CrLfMode first
  ConsoleOutput.flags = 0;
  WriteLineEnd(ConsoleOutput);
  EXPECT_EQ(Output(), "\r\n\n");
}

TEST_F(WriteValuesTest, UnknownOutputTypeWritesNothingAndRecords105) {
  console.fileType[1] = platform::FILE_TYPE_UNKNOWN;
  WriteStringValue(ConsoleOutput, "X= ", 0);
  WriteRealValue(ConsoleOutput, 1.5L, 5, 2);
  WriteChar(ConsoleOutput, 'm');
  WriteLineEnd(ConsoleOutput);
  EXPECT_EQ(PeekPendingIoError(), IoErrorNotOpenForOutput);
  EXPECT_TRUE(console.writes.empty());
  EXPECT_EQ(ConsoleOutput.bufferPos, 0u);
}

TEST_F(WriteValuesTest, OperationsHandTheStreamBack) {
  TTextStream& after = WriteLineEnd(
      WriteChar(WriteRealValue(WriteStringValue(ConsoleOutput, "Y= ", 0), 12.5L, 5, 2), 'm'));
  EXPECT_EQ(&after, &ConsoleOutput);
  EXPECT_EQ(console.Written(), "Y= 12.50m\r\n");
}

TEST_F(WriteValuesTest, BufferPositionBeyondTheBufferIsNeverWrittenPast) {
  UseDisk();
  WriteChar(ConsoleOutput, 'a');
  ConsoleOutput.bufferPos = 100000;
  WriteStringValue(ConsoleOutput, "bc", 0);
  // The whole buffer goes out (never more), then the new bytes start a fresh block.
  EXPECT_EQ(console.WriteSizes(), std::vector<size_t>{128});
  EXPECT_EQ(ConsoleOutput.bufferPos, 2u);
  ConsoleOutput.bufferPos = 100000;
  WriteChar(ConsoleOutput, 'd');
  EXPECT_EQ(console.WriteSizes(), (std::vector<size_t>{128, 128}));
  EXPECT_EQ(ConsoleOutput.bufferPos, 1u);
}

}  // namespace
