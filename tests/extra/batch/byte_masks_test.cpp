// The eight-byte masks against the byte-at-a-time rules they stand for: every byte value in every
// position of a word, next to neighbours that could carry into it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "batch/byte_masks.h"

namespace {

bool IsFieldByte(unsigned char c) { return c > 32 && c != ',' && c != ';'; }

TEST(ByteMasks, MarkExactlyTheBytesWithTheirProperty) {
  for (const int neighbour : {0x00, 0x20, 0x21, 0x2C, 0x3B, 0x0A, 0x7F, 0x80, 0xFF}) {
    for (int position = 0; position < 8; ++position) {
      for (int value = 0; value < 256; ++value) {
        char bytes[8];
        std::memset(bytes, neighbour, sizeof bytes);
        bytes[position] = static_cast<char>(value);
        const uint64_t word = bytemask::Load(bytes);
        const uint64_t field = bytemask::FieldBytes(word);
        const uint64_t lineEnds = bytemask::Equal(word, '\n');
        for (int i = 0; i < 8; ++i) {
          const auto c = static_cast<unsigned char>(bytes[i]);
          const uint64_t bit = uint64_t{0x80} << (8 * i);
          ASSERT_EQ((field & bit) != 0, IsFieldByte(c))
              << "byte " << static_cast<int>(c) << " at " << i << " beside " << neighbour;
          ASSERT_EQ((lineEnds & bit) != 0, c == '\n')
              << "byte " << static_cast<int>(c) << " at " << i << " beside " << neighbour;
        }
      }
    }
  }
}

TEST(ByteMasks, FirstByteNamesTheLowestMarkedByte) {
  for (int first = 0; first < 8; ++first) {
    char bytes[8] = {'1', '2', '3', '4', '5', '6', '7', '8'};
    bytes[first] = ' ';
    if (first < 7) bytes[7] = ',';  // a later stop does not count
    const uint64_t stops = ~bytemask::FieldBytes(bytemask::Load(bytes)) & bytemask::High;
    EXPECT_EQ(bytemask::FirstByte(stops), static_cast<unsigned>(first));
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
