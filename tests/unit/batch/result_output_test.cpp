// The results' way out: blocks that end at line ends, and an output that fails part-way through
// a block, where the cut line cannot be taken back (a pipe): the number of the last complete line
// is kept for the message.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "batch/output_buffer.h"
#include "batch/result_output.h"
#include "platform/console_files.h"

namespace {

bool Collect(void* context, const char* data, size_t size) {
  static_cast<std::vector<std::string>*>(context)->emplace_back(data, size);
  return true;
}

// A full block goes up to its last line end; the rest opens the next block. Only a line longer
// than the whole block is split.
TEST(OutputBlocks, EndAtLineEnds) {
  std::vector<std::string> blocks;
  char storage[512];
  OutputBuffer out(storage, sizeof storage, &Collect, &blocks);
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    const std::string line =
        std::string(static_cast<size_t>(i % 37), 'x') + "\t" + std::to_string(i) + "\n";
    out.Append(line.data(), line.size());
    expected += line;
  }
  const std::string longLine = std::string(1500, 'y') + "\n";
  out.Append(longLine.data(), longLine.size());
  expected += longLine;
  out.Append("z\n");
  expected += "z\n";
  out.Flush();
  std::string joined;
  size_t splitBlocks = 0;
  for (const std::string& block : blocks) {
    ASSERT_FALSE(block.empty());
    EXPECT_LE(block.size(), sizeof storage);
    if (block.back() != '\n') ++splitBlocks;
    joined += block;
  }
  EXPECT_EQ(joined, expected);
  EXPECT_EQ(splitBlocks, 2u) << "only the line of 1,501 bytes is split (into three blocks)";
}

// A pipe that takes `room` bytes, then fails with error 232 as a pipe whose reader has gone.
struct Pipe {
  size_t room = 0;
  std::string received;
  platform::DWORD lastError = 0;
} ThePipe;

platform::BOOL PipeWrite(platform::HANDLE, const void* buffer, platform::DWORD size,
                         platform::DWORD* written) {
  const size_t taken = size < ThePipe.room ? size : ThePipe.room;
  ThePipe.received.append(static_cast<const char*>(buffer), taken);
  ThePipe.room -= taken;
  if (written != nullptr) *written = static_cast<platform::DWORD>(taken);
  if (taken == size) return platform::TRUE_;
  ThePipe.lastError = platform::ERROR_NO_DATA;
  return platform::FALSE_;
}
platform::DWORD PipeType(platform::HANDLE) { return platform::FILE_TYPE_PIPE; }
platform::DWORD PipeLastError() { return ThePipe.lastError; }
void PipeSetLastError(platform::DWORD code) { ThePipe.lastError = code; }

struct CutCase {
  const char* name;
  size_t room;  // bytes the pipe takes
  uint64_t completeLines;
  bool lineCut;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

class PipeThatBreaks : public testing::TestWithParam<CutCase> {
 protected:
  void SetUp() override {
    functions_ = platform::ConsoleFunctions{nullptr, &PipeType,      nullptr,           &PipeWrite,
                                            nullptr, &PipeLastError, &PipeSetLastError, nullptr};
    platform::ConsoleOverride = &functions_;
  }
  void TearDown() override { platform::ConsoleOverride = nullptr; }
  platform::ConsoleFunctions functions_{};
};

// Three blocks of whole lines: "1.00\t1.00\n" (10 bytes) twice, then "22.00\t22.00\n" (12).
TEST_P(PipeThatBreaks, KeepsTheNumberOfTheLastCompleteLine) {
  const CutCase& c = GetParam();
  ThePipe = Pipe{c.room, "", 0};
  ResultOutput output;
  output.handle = reinterpret_cast<platform::HANDLE>(intptr_t{1});
  const std::string blocks[] = {"1.00\t1.00\n1.00\t1.00\n", "22.00\t22.00\n"};
  bool ok = true;
  for (const std::string& block : blocks) {
    if (!ok) break;
    ok = WriteResultBlock(&output, block.data(), block.size());
  }
  const bool everything = c.room >= 32;
  EXPECT_EQ(ok, everything);
  EXPECT_EQ(output.error, everything ? 0u : platform::ERROR_NO_DATA);
  EXPECT_EQ(output.completeLines, c.completeLines);
  EXPECT_EQ(output.lineCut, c.lineCut);
  EXPECT_EQ(ThePipe.received, (blocks[0] + blocks[1]).substr(0, c.room));
}

INSTANTIATE_TEST_SUITE_P(Rooms, PipeThatBreaks,
                         testing::Values(CutCase{"Nothing", 0, 0, false},
                                         CutCase{"InsideTheFirstLine", 4, 0, true},
                                         CutCase{"AfterTheFirstLine", 10, 1, false},
                                         CutCase{"InsideTheSecondLine", 15, 1, true},
                                         CutCase{"AfterTheFirstBlock", 20, 2, false},
                                         CutCase{"InsideTheSecondBlock", 27, 2, true},
                                         CutCase{"Everything", 32, 3, false}),
                         [](const testing::TestParamInfo<CutCase>& param) {
                           return param.param.name;
                         });

}  // namespace
