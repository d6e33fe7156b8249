// The byte masks against the byte-at-a-time rules they stand for: every byte value in every
// position of a word or vector, next to neighbours that could carry into it.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "batch/byte_masks.h"

namespace {

// A byte that continues a run of an unquoted field's characters, for each delimiter.
bool IsFieldByte(unsigned char c, char delimiter) {
  return c > 32 && c != static_cast<unsigned char>(delimiter) && c != '"';
}

bool IsQuotedByte(unsigned char c) { return c != '"' && c != '\r' && c != '\n' && c != 0; }

TEST(ByteMasks, EqualMarksExactlyTheLineEnds) {
  for (const int neighbour : {0x00, 0x0A, 0x0B, 0x09, 0x7F, 0x80, 0x8A, 0xFF}) {
    for (int position = 0; position < 8; ++position) {
      for (int value = 0; value < 256; ++value) {
        char bytes[8];
        std::memset(bytes, neighbour, sizeof bytes);
        bytes[position] = static_cast<char>(value);
        const uint64_t lineEnds = bytemask::Equal(bytemask::Load(bytes), '\n');
        for (int i = 0; i < 8; ++i) {
          const auto c = static_cast<unsigned char>(bytes[i]);
          ASSERT_EQ((lineEnds & (uint64_t{0x80} << (8 * i))) != 0, c == '\n')
              << "byte " << static_cast<int>(c) << " at " << i << " beside " << neighbour;
        }
      }
    }
  }
}

TEST(ByteMasks, BitPerByteGathersEveryMask) {
  for (uint32_t bits = 0; bits < 256; ++bits) {
    uint64_t mask = 0;
    for (int i = 0; i < 8; ++i) {
      if ((bits >> i & 1) != 0) mask |= uint64_t{0x80} << (8 * i);
    }
    ASSERT_EQ(bytemask::BitPerByte(mask), bits);
  }
}

// Sixteen bytes of which one, at every position, takes every value beside each neighbour: the
// run that `runLength` measures ends at the first byte for which `inRun` fails, whichever half of
// the vector it is in.
template <typename RunLength, typename InRun>
void CheckRunLength(std::initializer_list<int> neighbours, RunLength runLength, InRun inRun) {
  for (const int neighbour : neighbours) {
    for (int position = 0; position < 16; ++position) {
      for (int value = 0; value < 256; ++value) {
        char bytes[16];
        std::memset(bytes, neighbour, sizeof bytes);
        bytes[position] = static_cast<char>(value);
        uint32_t expected = 0;
        while (expected < 16 && inRun(static_cast<unsigned char>(bytes[expected]))) ++expected;
        ASSERT_EQ(runLength(bytes), expected)
            << "byte " << value << " at " << position << " beside " << neighbour;
      }
    }
  }
}

TEST(ByteMasks, FieldRunLengthStopsAtTheFirstByteOutsideAField) {
  for (const char delimiter : {',', ';', '\t', ' '}) {
    SCOPED_TRACE(testing::Message() << "delimiter " << static_cast<int>(delimiter));
    CheckRunLength(
        {0x21, 0x31, 0x7F, 0x80, 0xFF, 0x20, 0x2C, 0x3B, 0x22, 0x00},
        [&](const char* bytes) { return bytemask::FieldRunLength(bytes, delimiter); },
        [&](unsigned char c) { return IsFieldByte(c, delimiter); });
  }
}

TEST(ByteMasks, QuotedRunLengthStopsAtAQuoteALineEndOrAZeroByte) {
  CheckRunLength(
      {0x21, 0x2C, 0x7F, 0x80, 0xFF, 0x20, 0x0B, 0x01},
      [](const char* bytes) { return bytemask::QuotedRunLength(bytes); }, IsQuotedByte);
}

TEST(ByteMasks, CopyRunWithZerosKeepsTheRunAndClearsTheRest) {
  char source[16];
  for (int i = 0; i < 16; ++i) source[i] = static_cast<char>('a' + i);
  for (uint32_t count = 0; count <= 16; ++count) {
    char out[20];
    std::memset(out, '#', sizeof out);
    bytemask::CopyRunWithZeros(source, count, out);
    std::string expected(source, count);
    expected.append(16 - count, '\0');
    expected.append(4, '#');  // nothing written past the sixteen bytes
    EXPECT_EQ(std::string(out, sizeof out), expected) << count << " kept";
  }
}

TEST(ByteMasks, CountLineEndsOfEveryLengthAndAlignment) {
  std::string text;
  for (int i = 0; i < 100; ++i) {
    text += i % 3 == 0 ? '\n' : static_cast<char>(i % 7 == 0 ? 0x8A : 'a' + i % 26);
  }
  for (size_t start = 0; start < 9; ++start) {
    for (size_t size = 0; start + size <= text.size(); ++size) {
      size_t expected = 0;
      for (size_t i = start; i < start + size; ++i) expected += text[i] == '\n' ? 1 : 0;
      ASSERT_EQ(bytemask::CountLineEnds(text.data() + start, size), expected)
          << "from " << start << ", " << size << " bytes";
    }
  }
}

}  // namespace
