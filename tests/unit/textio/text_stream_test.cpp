// Opening, flushing and closing the standard text streams, on a scripted console.
#include "textio/text_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/fake_console.h"
#include "textio/read_values.h"
#include "textio/write_values.h"

namespace {

using platform::DWORD;

class TextStreamTest : public ::testing::Test {
 protected:
  fake::FakeConsole console;
  fake::InstallFakeConsole install{console};

  void WriteLine(TTextStream& stream, const std::string& text) {
    WriteStringValue(stream, text, 0);
    WriteLineEnd(stream);
  }
};

// ---- Opening on first use -----------------------------------------------------------------

struct OutputOpenCase {
  const char* name;
  DWORD fileType;
  bool invalidHandle;
  bool opens;
  bool flushesLines;  // flushOp writes the buffer out
  bool closesHandle;
};
void PrintTo(const OutputOpenCase& c, std::ostream* os) { *os << c.name; }

class OutputOpenTest : public TextStreamTest,
                       public ::testing::WithParamInterface<OutputOpenCase> {};

TEST_P(OutputOpenTest, FirstWriteBindsStandardOutputByDeviceType) {
  const OutputOpenCase& c = GetParam();
  console.fileType[1] = c.fileType;
  console.invalidHandle[1] = c.invalidHandle;
  console.stdHandleError = platform::ERROR_ACCESS_DENIED;

  WriteStringValue(ConsoleOutput, "ab", 0);

  ASSERT_EQ(console.stdHandleRequests.size(), 1u);
  EXPECT_EQ(console.stdHandleRequests[0], platform::STD_OUTPUT_HANDLE);
  EXPECT_EQ(ConsoleOutput.flags, CrLfMode);
  if (c.opens) {
    EXPECT_EQ(ConsoleOutput.mode, ModeOutput);
    EXPECT_EQ(PeekPendingIoError(), 0);
    EXPECT_EQ(ConsoleOutput.handle, fake::OutputHandle);
    EXPECT_EQ(ConsoleOutput.bufferSize, 128u);
    EXPECT_EQ(ConsoleOutput.bufferPtr, ConsoleOutput.inlineBuffer);
    EXPECT_EQ(ConsoleOutput.bufferPos, 2u);
    EXPECT_EQ(ConsoleOutput.transferOp, &WriteOutBuffer);
    EXPECT_EQ(ConsoleOutput.closeOp, &NoOperation);
    EXPECT_EQ(ConsoleOutput.flushOp, c.flushesLines ? &WriteOutBuffer : &NoOperation);
  } else {
    // The system's own code (here 5) is replaced: a failed first open shows as 105.
    EXPECT_EQ(ConsoleOutput.mode, ModeClosed);
    EXPECT_EQ(PeekPendingIoError(), IoErrorNotOpenForOutput);
  }
  EXPECT_EQ(console.closedHandles.size(), c.closesHandle ? 1u : 0u);
  if (c.closesHandle) {
    EXPECT_EQ(console.closedHandles[0], fake::OutputHandle);
  }

  // Whatever happened, nothing has reached the device yet, and closing writes what is
  // buffered.
  EXPECT_TRUE(console.writes.empty());
  CloseTextStream(ConsoleOutput);
  EXPECT_EQ(console.Written(), c.opens ? "ab" : "");
}

INSTANTIATE_TEST_SUITE_P(
    DeviceTypes, OutputOpenTest,
    ::testing::Values(
        OutputOpenCase{"Console", platform::FILE_TYPE_CHAR, false, true, true, false},
        OutputOpenCase{"DiskFile", platform::FILE_TYPE_DISK, false, true, false, false},
        OutputOpenCase{"Pipe", platform::FILE_TYPE_PIPE, false, true, false, false},
        OutputOpenCase{"UnknownType", platform::FILE_TYPE_UNKNOWN, false, false, false, true},
        OutputOpenCase{"InvalidHandle", platform::FILE_TYPE_CHAR, true, false, false, false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(TextStreamTest, ErrorOutputUsesTheStandardErrorHandle) {
  WriteLine(ConsoleErrorOutput, "oops");
  ASSERT_EQ(console.stdHandleRequests.size(), 1u);
  EXPECT_EQ(console.stdHandleRequests[0], platform::STD_ERROR_HANDLE);
  EXPECT_EQ(console.Written(fake::ErrorHandle), "oops\r\n");
  EXPECT_EQ(console.Written(fake::OutputHandle), "");
}

TEST_F(TextStreamTest, FailedOpenIsTriedAgainByEveryLaterWrite) {
  console.fileType[1] = platform::FILE_TYPE_UNKNOWN;
  WriteStringValue(ConsoleOutput, "a", 0);
  WriteChar(ConsoleOutput, 'b');
  WriteLineEnd(ConsoleOutput);
  EXPECT_EQ(PeekPendingIoError(), IoErrorNotOpenForOutput);
  // Three writes (the string, the character, the line end), three attempts to open.
  EXPECT_EQ(console.stdHandleRequests.size(), 3u);

  // Once the handle becomes usable, the stream opens and works normally.
  console.fileType[1] = platform::FILE_TYPE_CHAR;
  SetPendingIoError(0);
  WriteLine(ConsoleOutput, "ok");
  EXPECT_EQ(PeekPendingIoError(), 0);
  EXPECT_EQ(console.Written(), "ok\r\n");
}

TEST_F(TextStreamTest, InvalidStandardInputReadsAsEndOfFileWith104EachTime) {
  console.invalidHandle[0] = true;
  EXPECT_EQ(ReadRealValue(ConsoleInput), 0.0L);
  EXPECT_EQ(PeekPendingIoError(), IoErrorNotOpenForInput);
  EXPECT_EQ(ConsoleInput.mode, ModeClosed);
  std::string line = "stale";
  ReadLineToString(ConsoleInput, line);
  EXPECT_EQ(line, "");
  SkipToNextLine(ConsoleInput);
  EXPECT_GE(console.stdHandleRequests.size(), 3u);
  for (DWORD request : console.stdHandleRequests) EXPECT_EQ(request, platform::STD_INPUT_HANDLE);
  EXPECT_TRUE(console.reads.empty());
}

TEST_F(TextStreamTest, OpenOfARecordThatWasNeverSetUpIs102) {
  TTextStream record{};  // mode 0: start-up never prepared it
  EXPECT_EQ(OpenTextStream(record, ModeOutput), IoErrorNotSetUp);
  EXPECT_EQ(PeekPendingIoError(), IoErrorNotSetUp);
  EXPECT_EQ(record.mode, 0);
  EXPECT_TRUE(console.stdHandleRequests.empty());

  // The standard input record in that state: the read shows 104, not 102.
  std::memset(static_cast<void*>(&ConsoleInput), 0, sizeof ConsoleInput);
  SetPendingIoError(0);
  EXPECT_EQ(ReadRealValue(ConsoleInput), 0.0L);
  EXPECT_EQ(PeekPendingIoError(), IoErrorNotOpenForInput);
}

TEST_F(TextStreamTest, NamedRecordWithoutOpenOperationDoesNotOpen) {
  TTextStream record{};
  record.mode = ModeClosed;
  std::strcpy(record.fileName, "data.txt");
  EXPECT_NE(OpenTextStream(record, ModeInput), 0);
  EXPECT_EQ(record.mode, ModeClosed);
  EXPECT_NE(PeekPendingIoError(), 0);
}

TEST_F(TextStreamTest, OpenOfAnOpenStreamClosesItFirstAndWritesItsOutput) {
  console.fileType[1] = platform::FILE_TYPE_PIPE;
  WriteStringValue(ConsoleOutput, "kept", 0);
  EXPECT_EQ(OpenTextStream(ConsoleOutput, ModeOutput), 0);
  EXPECT_EQ(console.Written(), "kept");
  EXPECT_EQ(ConsoleOutput.bufferPos, 0u);
}

// ---- When output reaches the device --------------------------------------------------------

TEST_F(TextStreamTest, ConsoleWritesEachLineAtItsLineEnd) {
  console.fileType[1] = platform::FILE_TYPE_CHAR;
  WriteStringValue(ConsoleOutput, "Enter ", 0);
  WriteStringValue(ConsoleOutput, "X", 0);
  EXPECT_TRUE(console.writes.empty());  // no line end yet
  WriteLineEnd(ConsoleOutput);
  WriteLine(ConsoleOutput, "second");
  WriteLineEnd(ConsoleOutput);
  ASSERT_EQ(console.writes.size(), 3u);
  EXPECT_EQ(console.writes[0].bytes, "Enter X\r\n");
  EXPECT_EQ(console.writes[1].bytes, "second\r\n");
  EXPECT_EQ(console.writes[2].bytes, "\r\n");
}

TEST_F(TextStreamTest, ConsoleLineLongerThanTheBufferTakesTwoWrites) {
  WriteLine(ConsoleOutput, std::string(200, 'q'));
  EXPECT_EQ(console.WriteSizes(), (std::vector<size_t>{128, 74}));
  EXPECT_EQ(console.Written(), std::string(200, 'q') + "\r\n");
}

class RedirectedOutputTest : public TextStreamTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(RedirectedOutputTest, LeavesInWholeBlocksAndTheRestAtClose) {
  console.fileType[1] = GetParam();
  std::string expected;
  for (int line = 0; line < 12; ++line) {
    const std::string text = "line " + std::to_string(line) + " of the dialogue";
    WriteLine(ConsoleOutput, text);
    expected += text + "\r\n";
  }
  // Until shutdown every write carries exactly 128 bytes.
  const size_t blocks = expected.size() / 128;
  ASSERT_GT(blocks, 1u);
  EXPECT_EQ(console.WriteSizes(), std::vector<size_t>(blocks, 128));

  EXPECT_EQ(CloseTextStream(ConsoleOutput), 0);
  std::vector<size_t> sizes(blocks, 128);
  if (expected.size() % 128 != 0) sizes.push_back(expected.size() % 128);
  EXPECT_EQ(console.WriteSizes(), sizes);
  EXPECT_EQ(console.Written(), expected);
  EXPECT_EQ(PeekPendingIoError(), 0);
}

INSTANTIATE_TEST_SUITE_P(DiskAndPipe, RedirectedOutputTest,
                         ::testing::Values(platform::FILE_TYPE_DISK, platform::FILE_TYPE_PIPE),
                         [](const ::testing::TestParamInfo<DWORD>& parameter) {
                           return parameter.param == platform::FILE_TYPE_DISK ? "Disk" : "Pipe";
                         });

TEST_F(TextStreamTest, LineOfExactlyOneBufferIsWrittenAtOnceAndItsLineEndWaits) {
  for (DWORD type : {platform::FILE_TYPE_CHAR, platform::FILE_TYPE_DISK}) {
    SCOPED_TRACE(type);
    fake::ResetStreams();
    console.writes.clear();
    console.fileType[1] = type;
    WriteStringValue(ConsoleOutput, std::string(128, 'z'), 0);
    ASSERT_EQ(console.WriteSizes(), std::vector<size_t>{128});
    WriteLineEnd(ConsoleOutput);
    if (type == platform::FILE_TYPE_CHAR) {
      EXPECT_EQ(console.WriteSizes(), (std::vector<size_t>{128, 2}));
    } else {
      EXPECT_EQ(console.WriteSizes(), std::vector<size_t>{128});
      EXPECT_EQ(ConsoleOutput.bufferPos, 2u);
    }
  }
}

TEST_F(TextStreamTest, ReadingNeverWritesOutPendingOutput) {
  console.fileType[1] = platform::FILE_TYPE_PIPE;
  console.AddInput("4\r\n");
  WriteLine(ConsoleOutput, "Enter X of A:");
  EXPECT_EQ(ReadRealValue(ConsoleInput), 4.0L);
  EXPECT_TRUE(console.writes.empty());
}

// ---- Flush and close rules -----------------------------------------------------------------

TEST_F(TextStreamTest, FlushRulesPerMode) {
  // Standard output and error, not open: nothing to do, and a flush never opens them.
  EXPECT_EQ(FlushTextStream(ConsoleOutput), 0);
  EXPECT_EQ(LineEndFlush(ConsoleErrorOutput), 0);
  EXPECT_EQ(ConsoleOutput.mode, ModeClosed);
  EXPECT_TRUE(console.stdHandleRequests.empty());
  EXPECT_EQ(PeekPendingIoError(), 0);

  // Any other record that is not open: 103.
  TTextStream record{};
  record.mode = ModeClosed;
  EXPECT_EQ(FlushTextStream(record), IoErrorNotOpen);
  EXPECT_EQ(PeekPendingIoError(), IoErrorNotOpen);
  SetPendingIoError(0);
  EXPECT_EQ(FlushTextStream(ConsoleInput), IoErrorNotOpen);  // only the outputs are exempt
}

TEST_F(TextStreamTest, FlushOfAnInputStreamDoesNothing) {
  console.AddInput("1 2 3\r\n");
  ReadRealValue(ConsoleInput);
  const uint32_t position = ConsoleInput.bufferPos;
  EXPECT_EQ(FlushTextStream(ConsoleInput), 0);
  EXPECT_EQ(ConsoleInput.bufferPos, position);
  EXPECT_EQ(console.reads.size(), 1u);
}

TEST_F(TextStreamTest, FlushTextStreamWritesPendingOutputOnAPipe) {
  console.fileType[1] = platform::FILE_TYPE_PIPE;
  WriteLine(ConsoleOutput, "half");
  EXPECT_TRUE(console.writes.empty());
  EXPECT_EQ(FlushTextStream(ConsoleOutput), 0);
  EXPECT_EQ(console.Written(), "half\r\n");
}

TEST_F(TextStreamTest, FlushFailureIsRecordedAndReturned) {
  console.fileType[1] = platform::FILE_TYPE_PIPE;
  console.AddWriteResult(platform::ERROR_NO_DATA);
  WriteLine(ConsoleOutput, "gone");
  EXPECT_EQ(FlushTextStream(ConsoleOutput), static_cast<int32_t>(platform::ERROR_NO_DATA));
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_NO_DATA));
  EXPECT_EQ(ConsoleOutput.bufferPos, 0u);  // the block is discarded
}

TEST_F(TextStreamTest, CloseRules) {
  // Closed input is left alone; closed output and error are "not open".
  EXPECT_EQ(CloseTextStream(ConsoleInput), 0);
  EXPECT_EQ(PeekPendingIoError(), 0);
  EXPECT_EQ(CloseTextStream(ConsoleErrorOutput), IoErrorNotOpen);
  EXPECT_EQ(PeekPendingIoError(), IoErrorNotOpen);

  // Open streams stay open (the standard handles are never closed) and keep working.
  SetPendingIoError(0);
  console.fileType[1] = platform::FILE_TYPE_DISK;
  console.AddInput("x\r\n");
  ReadRealValue(ConsoleInput);
  WriteLine(ConsoleOutput, "rest");
  EXPECT_EQ(CloseTextStream(ConsoleInput), 0);
  EXPECT_EQ(CloseTextStream(ConsoleOutput), 0);
  EXPECT_EQ(ConsoleInput.mode, ModeInput);
  EXPECT_EQ(ConsoleOutput.mode, ModeOutput);
  EXPECT_TRUE(console.closedHandles.empty());
  EXPECT_EQ(console.Written(), "rest\r\n");
  EXPECT_EQ(CloseTextStream(ConsoleOutput), 0);  // nothing left: no further write
  EXPECT_EQ(console.writes.size(), 1u);
}

TEST_F(TextStreamTest, CloseRecordsTheFailureOfTheLastBlock) {
  console.fileType[1] = platform::FILE_TYPE_DISK;
  console.AddWriteResult(platform::ERROR_DISK_FULL);
  WriteLine(ConsoleOutput, "tail");
  EXPECT_EQ(CloseTextStream(ConsoleOutput), static_cast<int32_t>(platform::ERROR_DISK_FULL));
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_DISK_FULL));
  EXPECT_EQ(console.Written(), "");
}

// ---- Write failures ------------------------------------------------------------------------

TEST_F(TextStreamTest, FailedBlockIsDiscardedAndLaterWritesFillTheEmptiedBuffer) {
  console.fileType[1] = platform::FILE_TYPE_DISK;
  console.AddWriteResult(platform::ERROR_DISK_FULL);
  // 130 bytes: the first 128 fill the buffer and fail; the last 2 of this write are dropped.
  WriteStringValue(ConsoleOutput, std::string(128, 'a') + "bb", 0);
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_DISK_FULL));
  EXPECT_EQ(ConsoleOutput.bufferPos, 0u);
  ASSERT_EQ(console.writes.size(), 1u);
  EXPECT_EQ(console.writes[0].bytes, std::string(128, 'a'));

  WriteLine(ConsoleOutput, "after");
  CloseTextStream(ConsoleOutput);
  EXPECT_EQ(console.Written(), "after\r\n");
  // The code stays recorded until someone takes it.
  EXPECT_EQ(TakePendingIoError(), static_cast<int32_t>(platform::ERROR_DISK_FULL));
  EXPECT_EQ(PeekPendingIoError(), 0);
}

TEST_F(TextStreamTest, FailedConsoleLineIsLostAndTheNextLineIsWritten) {
  console.AddWriteResult(platform::ERROR_NO_DATA);
  WriteLine(ConsoleOutput, "lost");
  WriteLine(ConsoleOutput, "next");
  ASSERT_EQ(console.writes.size(), 2u);
  EXPECT_EQ(console.writes[0].error, platform::ERROR_NO_DATA);
  EXPECT_EQ(console.Written(), "next\r\n");
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_NO_DATA));
}

TEST_F(TextStreamTest, LaterFailureReplacesTheEarlierCode) {
  console.AddWriteResult(platform::ERROR_NO_DATA);
  console.AddWriteResult(platform::ERROR_ACCESS_DENIED);
  WriteLine(ConsoleOutput, "one");
  WriteLine(ConsoleOutput, "two");
  EXPECT_EQ(PeekPendingIoError(), static_cast<int32_t>(platform::ERROR_ACCESS_DENIED));
}

// ---- Pending error and its check -----------------------------------------------------------

TEST_F(TextStreamTest, CheckIoResultWithNothingPendingReturns) {
  CheckIoResult();
  EXPECT_EQ(PeekPendingIoError(), 0);
  EXPECT_TRUE(console.writes.empty());
}

// Without the exception support, a pending code ends the program with its low 8 bits as the
// run-time error code, and the code stays recorded.
TEST_F(TextStreamTest, CheckIoResultWithACodePendingDoesNotReturn) {
  struct Case {
    int32_t pending;
    platform::UINT exitCode;
  };
  for (const Case& c : {Case{106, 106}, Case{232, 232}, Case{1117, 93}}) {
    SCOPED_TRACE(c.pending);
    SetPendingIoError(c.pending);
    bool returned = false;
    EXPECT_EQ(fake::ExitCodeOf([&] {
                CheckIoResult();
                returned = true;
              }),
              c.exitCode);
    EXPECT_FALSE(returned);
    EXPECT_EQ(PeekPendingIoError(), c.pending);
  }
}

TEST_F(TextStreamTest, PendingCodeIsPerThread) {
  SetPendingIoError(106);
  int32_t seenByOtherThread = -1;
  std::thread other([&] {
    seenByOtherThread = PeekPendingIoError();
    SetPendingIoError(5);
  });
  other.join();
  EXPECT_EQ(seenByOtherThread, 0);
  EXPECT_EQ(TakePendingIoError(), 106);
}

}  // namespace
