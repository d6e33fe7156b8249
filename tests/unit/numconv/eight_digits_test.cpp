// The eight-digit word reader against a character-at-a-time reading of the same bytes: random
// words of digits with every kind of byte after them (the bytes next to the digits' codes, the
// digits' codes with the top bit set, NUL, the point).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "numconv/eight_digits.h"

namespace {

TEST(EightDigits, LeadingDigitsAndTheirValueForEveryCountAndEveryByteAfter) {
  const unsigned char stops[] = {0x00, '.', '/', ':', 'e', ' ', 0xB0, 0xB9, 0x80, 0xFF, 0x7F};
  std::mt19937_64 random(808);
  for (int round = 0; round < 20000; ++round) {
    const uint32_t count = static_cast<uint32_t>(random() % 9);
    unsigned char bytes[8];
    std::string digits;
    for (uint32_t i = 0; i < 8; ++i) {
      // Digits up to `count`, then one stop byte, then anything.
      if (i < count) {
        bytes[i] = static_cast<unsigned char>('0' + random() % 10);
        digits += static_cast<char>(bytes[i]);
      } else if (i == count) {
        bytes[i] = stops[random() % sizeof stops];
      } else {
        bytes[i] = static_cast<unsigned char>(random());
      }
    }
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    SCOPED_TRACE(testing::Message() << "word " << std::hex << word);
    ASSERT_EQ(eightdigits::LeadingDigits(word), count);
    const uint64_t expected = digits.empty() ? 0 : std::stoull(digits);
    ASSERT_EQ(eightdigits::DigitsValue(word, count), expected);
  }
}

TEST(EightDigits, EightNinesAndEightZeros) {
  EXPECT_EQ(eightdigits::LeadingDigits(eightdigits::Load("99999999")), 8u);
  EXPECT_EQ(eightdigits::DigitsValue(eightdigits::Load("99999999"), 8), 99999999u);
  EXPECT_EQ(eightdigits::DigitsValue(eightdigits::Load("00000000"), 8), 0u);
  EXPECT_EQ(eightdigits::DigitsValue(eightdigits::Load("10000000"), 8), 10000000u);
}

}  // namespace
