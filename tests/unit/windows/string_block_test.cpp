// The form of a string table block, as the language module check reads it before the system's
// string loader ever does.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "string_blocks.h"

namespace {

// A block of 16 entries with the given texts (ASCII), each as a count and its UTF-16 units.
std::vector<uint8_t> Block(const std::vector<std::string>& texts) {
  std::vector<uint8_t> bytes;
  for (size_t entry = 0; entry < 16; ++entry) {
    const std::string text = entry < texts.size() ? texts[entry] : "";
    bytes.push_back(static_cast<uint8_t>(text.size() & 0xFF));
    bytes.push_back(static_cast<uint8_t>(text.size() >> 8));
    for (const char c : text) {
      bytes.push_back(static_cast<uint8_t>(c));
      bytes.push_back(0);
    }
  }
  return bytes;
}

struct BlockCase {
  const char* name;
  std::vector<uint8_t> bytes;
  bool wellFormed;
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> Changed(std::vector<uint8_t> bytes, size_t at, uint8_t value) {
  bytes.at(at) = value;
  return bytes;
}

std::vector<uint8_t> Resized(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

const std::vector<uint8_t> Texts = Block({"", "Exception", "", "I/O error %d"});
// The offset of the last entry's count: 16 counts of 2 bytes and 21 units of text before it.
constexpr size_t LastCount = 15 * 2 + 21 * 2;

class StringBlocks : public testing::TestWithParam<BlockCase> {};

TEST_P(StringBlocks, AreWellFormedOnlyWithAllSixteenEntriesInside) {
  const BlockCase& c = GetParam();
  EXPECT_EQ(platform::StringBlockWellFormed(c.bytes.data(), c.bytes.size()), c.wellFormed);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, StringBlocks,
    testing::Values(
        BlockCase{"EmptyEntries", Block({}), true}, BlockCase{"SomeTexts", Texts, true},
        BlockCase{"SixteenTexts", Block(std::vector<std::string>(16, std::string(300, 'x'))), true},
        BlockCase{"EvenBytesAfterTheLastEntry", Resized(Texts, Texts.size() + 4), true},
        BlockCase{"LastEntryRunsPastTheEnd", Changed(Texts, LastCount, 1), false},
        BlockCase{"CountFarBeyondTheBlock", Changed(Changed(Texts, 2, 0xFF), 3, 0xFF), false},
        BlockCase{"CutInsideAText", Resized(Texts, 20), false},
        BlockCase{"CutBeforeTheLastCount", Resized(Texts, LastCount), false},
        BlockCase{"CutInsideTheLastCount", Resized(Texts, LastCount + 1), false},
        BlockCase{"OddByteAfterTheLastEntry", Resized(Texts, Texts.size() + 1), false},
        BlockCase{"NoBytes", std::vector<uint8_t>(), false}),
    [](const testing::TestParamInfo<BlockCase>& param) { return std::string(param.param.name); });

TEST(StringBlocks, WithoutDataIsMalformed) {
  EXPECT_FALSE(platform::StringBlockWellFormed(nullptr, 0));
  EXPECT_FALSE(platform::StringBlockWellFormed(nullptr, 32));
}

}  // namespace
