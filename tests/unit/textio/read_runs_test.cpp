// Long runs through the reading operations: blank runs against every byte that may end them, in
// both line-end modes and at every offset within a word, and answer lines longer than one piece.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "textio/read_values.h"
#include "support/fake_console.h"

namespace {

// Blanks other than 26 (which ends the input in CrLfMode), cycled so that runs mix them.
char FillerBlank(size_t i) {
  const char blanks[] = {' ', '\t', '\0', '\x1f', '\r', '\n', ' ', '\x19', '\x1b', ' ', '\x01'};
  return blanks[i % sizeof blanks];
}

TEST(BlankRuns, StopAtTheFirstByteAbove32OrAtTheEndMark) {
  for (const bool crLf : {true, false}) {
    for (int stop = 0; stop < 256; ++stop) {
      for (size_t at = 0; at < 18; ++at) {
        fake::FakeConsole console;
        fake::InstallFakeConsole install{console};
        std::string run;
        for (size_t i = 0; i < at; ++i) run += FillerBlank(i);
        run += static_cast<char>(stop);
        for (size_t i = 0; i < 30; ++i) run += FillerBlank(i + at);
        console.AddInput("\r\n");
        console.AddInput(run + "7\r\n");
        SkipToNextLine(
            ConsoleInput);  // opens the stream (setting CrLfMode) and takes the first line
        if (!crLf) ConsoleInput.flags = 0;

        const bool endMark = crLf && stop == 26;
        const bool ends = stop > 32 || endMark;
        const std::string where = "stop " + std::to_string(stop) + " at " + std::to_string(at) +
                                  (crLf ? " CrLf" : " plain");
        EXPECT_EQ(SkipBlanks(ConsoleInput), endMark) << where;
        const StreamChar next = ReadNextChar(ConsoleInput);
        if (endMark) {
          EXPECT_TRUE(next.endOfFile) << where;
        } else {
          EXPECT_FALSE(next.endOfFile) << where;
          EXPECT_EQ(next.value, ends ? stop : '7') << where;
        }
      }
    }
  }
}

TEST(LongAnswerLine, ComesBackWholeAndTheNextLineFollows) {
  for (const size_t length : {size_t{255}, size_t{256}, size_t{262144}, size_t{700001}}) {
    fake::FakeConsole console;
    fake::InstallFakeConsole install{console};
    std::string line(length, ' ');
    for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + (i * 7) % 26);
    console.AddInput(line + "\r\nnext\r\n");
    std::string read;
    ReadLineToString(ConsoleInput, read);
    EXPECT_EQ(read.size(), length);
    EXPECT_TRUE(read == line) << "length " << length;
    SkipToNextLine(ConsoleInput);
    ReadLineToString(ConsoleInput, read);
    EXPECT_EQ(read, "next");
    for (const fake::ReadCall& call : console.reads) EXPECT_EQ(call.size, 128u);
  }
}

// What a line read takes from one buffer's worth of input: up to LF or CR LF (left in place), a
// lone CR dropped, and in CrLfMode up to a 26 (taken).
std::string ModelLine(const std::string& input, bool crLf) {
  std::string line;
  for (size_t i = 0; i < input.size(); ++i) {
    const char c = input[i];
    if (c == '\n') break;
    if (c == '\r') {
      if (i + 1 < input.size() && input[i + 1] == '\n') break;
      continue;
    }
    if (crLf && c == '\x1a') break;
    line += c;
  }
  return line;
}

TEST(LineRuns, EveryPlacingOfLineEndsCarriageReturnsAndEndMarks) {
  std::mt19937 random(26);
  const char alphabet[] = {'a', 'b', ' ', '\t', '\r', '\n', '\x1a', 'z'};
  for (int round = 0; round < 4000; ++round) {
    const bool crLf = round % 2 == 0;
    std::string input;
    const size_t length = random() % 100;
    for (size_t i = 0; i < length; ++i) {
      // Mostly ordinary bytes, so that long runs of them come up.
      input += random() % 8 == 0 ? alphabet[random() % sizeof alphabet]
                                 : static_cast<char>('c' + i % 20);
    }
    fake::FakeConsole console;
    fake::InstallFakeConsole install{console};
    console.AddInput("\r\n");
    console.AddInput(input);
    SkipToNextLine(ConsoleInput);
    if (!crLf) ConsoleInput.flags = 0;
    std::string line;
    ReadLineToString(ConsoleInput, line);
    EXPECT_EQ(line, ModelLine(input, crLf))
        << testing::PrintToString(input) << (crLf ? " CrLf" : " plain");
  }
}

// A segment that fills up exactly where a buffer ends, for every room and buffer length: no
// byte beyond the room is written, and the rest of the line comes with the next segment.
TEST(LineRuns, SegmentStopsAtItsRoomWhereverTheBufferEnds) {
  for (int room = 1; room <= 40; ++room) {
    for (int first = 1; first <= 40; ++first) {
      fake::FakeConsole console;
      fake::InstallFakeConsole install{console};
      std::string line;
      for (int i = 0; i < first; ++i) line += static_cast<char>('a' + i % 26);
      console.AddInput(line);  // one read delivers exactly these bytes
      console.AddInput("XY\r\n");
      line += "XY";
      char destination[64];
      std::memset(destination, '#', sizeof destination);
      const int32_t got = ReadLineSegment(ConsoleInput, destination, room);
      const std::string where = "room " + std::to_string(room) + " first " + std::to_string(first);
      const int32_t expected =
          room < static_cast<int32_t>(line.size()) ? room : static_cast<int32_t>(line.size());
      ASSERT_EQ(got, expected) << where;
      EXPECT_EQ(std::string(destination, static_cast<size_t>(got)),
                line.substr(0, static_cast<size_t>(got)))
          << where;
      EXPECT_EQ(destination[got], '#') << where;
      std::string rest;
      ReadLineToString(ConsoleInput, rest);
      EXPECT_EQ(rest, line.substr(static_cast<size_t>(got))) << where;
    }
  }
}

}  // namespace
