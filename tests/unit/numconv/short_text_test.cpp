// Texts of at most nineteen digits, the usual ones, read in one exact integer and scaled once:
// the same bits as the table walk gives for that integer, with every placing of the point, a
// sign, blanks in front and small written exponents, from every entry point; and the double
// powers used for that one scaling are the extended table's entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numconv/extended.h"
#include "numconv/powers_of_ten.h"
#include "numconv/text_to_real.h"
#include "unit/numconv/control_word_fixture.h"

namespace {

class ShortTexts : public UnderProgramControlWord {};

// The text in a buffer of exactly the bytes that PaddedTextToReal may read (the sanitizer build
// reports a read beyond it), the bytes after the NUL set to `filler`: the reader must stop at the
// NUL whatever follows it.
std::vector<char> Padded(const std::string& text, char filler) {
  std::vector<char> buffer(std::max(text.size() + 1, size_t{PaddedTextReadableBytes}), filler);
  std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
  return buffer;
}

// PaddedTextToReal of the text, after filler bytes of each kind that could extend a number.
void ExpectPaddedGivesTheSame(const std::string& text, Extended value, int32_t position) {
  for (const char filler : {'7', '.', '\0', '\xff'}) {
    const std::vector<char> buffer = Padded(text, filler);
    int32_t paddedPosition = -1;
    const Extended padded = PaddedTextToReal(buffer.data(), paddedPosition);
    EXPECT_EQ(paddedPosition, position) << "after filler " << static_cast<int>(filler);
    EXPECT_EQ(std::memcmp(&padded, &value, 10), 0) << "after filler " << static_cast<int>(filler);
  }
}

TEST_F(ShortTexts, DoublePowersAreTheExtendedEntriesAndTheirNegatives) {
  for (int k = 0; k <= LargestExactDoublePower; ++k) {
    const Extended widened = ExactDoublePowersOfTen[k];
    EXPECT_EQ(std::memcmp(&widened, &SmallPowersOfTen[k], 10), 0) << "10^" << k;
    const Extended negated = -SignedExactDoublePowersOfTen[1][k];
    EXPECT_EQ(std::memcmp(&negated, &SmallPowersOfTen[k], 10), 0) << "-10^" << k;
  }
}

TEST_F(ShortTexts, GiveTheTableWalkOfTheirDigits) {
  std::mt19937_64 random(1312);
  for (int round = 0; round < 20000; ++round) {
    const int length = 1 + static_cast<int>(random() % 19);
    std::string digits;
    for (int i = 0; i < length; ++i) digits += static_cast<char>('0' + random() % 10);
    const int point = static_cast<int>(random() % static_cast<uint64_t>(length + 2)) - 1;
    const int written = static_cast<int>(random() % 71) - 35;
    const int form = static_cast<int>(random() % 4);  // no exponent, e, E+, e-
    std::string text(static_cast<size_t>(random() % 3), ' ');
    const int sign = static_cast<int>(random() % 3);
    if (sign == 1) text += '-';
    if (sign == 2) text += '+';
    int fraction = 0;
    if (point < 0) {
      text += digits;
    } else {
      text += digits.substr(0, static_cast<size_t>(point)) + "." +
              digits.substr(static_cast<size_t>(point));
      fraction = length - point;
    }
    int exponent = 0;
    if (form == 1) exponent = written, text += "e" + std::to_string(written);
    if (form == 2)
      exponent = written < 0 ? -written : written, text += "E+" + std::to_string(exponent);
    if (form == 3)
      exponent = written > 0 ? -written : written, text += "e-" + std::to_string(-exponent);
    SCOPED_TRACE(text);

    Extended expected =
        ScaleByPowerOfTen(static_cast<Extended>(std::stoull(digits)), exponent - fraction);
    if (sign == 1) expected = -expected;
    int32_t errorPosition = -1;
    const Extended actual = TextToReal(text.c_str(), errorPosition);
    ASSERT_EQ(errorPosition, 0);
    ASSERT_EQ(std::memcmp(&actual, &expected, 10), 0);
    errorPosition = -1;
    const Extended unordered = TextToRealOfUnorderedSigns(text.c_str(), errorPosition);
    ASSERT_EQ(errorPosition, 0);
    ASSERT_EQ(std::memcmp(&unordered, &expected, 10), 0);
    ExpectPaddedGivesTheSame(text, expected, 0);
    if (HasFailure()) return;
  }
}

// The conversion without a branch on the sign, and the one that reads words of a padded text,
// give TextToReal's value and error position for every kind of text: signs alone or doubled,
// zeros, blanks, errors, long and huge numbers, and around the word reader's limits (eight digits
// in a part, the point, bytes next to the digits' codes or with the top bit set).
TEST_F(ShortTexts, OtherEntryPointsGiveTheSameValueAndErrorPosition) {
  const char* const texts[] = {
      "",
      "-",
      "+",
      " ",
      " -5",
      "--5",
      "+-5",
      "-+5",
      "-0",
      "+0",
      "-0.000",
      "-.",
      ".",
      "-.5",
      "-5.",
      "-e5",
      "-1e5",
      "-1e-5",
      "-1e22",
      "-1e23",
      "-1e-22",
      "-1e-23",
      "-150",
      "-2.345",
      "-12x",
      "-1.5x",
      "-1e",
      "-1e+",
      "- 1",
      "-1 ",
      "-0e5120",
      "-1e5120",
      "-1e-5120",
      "-18446744073709551615",
      "-12345678901234567890",
      "-9999999999999999999",
      "-0.9999999999999999999",
      "+66419.32",
      "-3167.3",
      "-38134.0",
      "-1e4932",
      "-abc",
      "12345678",
      "123456789",
      "-12345678.87654321",
      "12345678.123456789",
      "123456789.1",
      "99999999.99999999",
      "00000000.00000001",
      "0.00000000",
      "+.5",
      "1.",
      "1.2.3",
      "1..2",
      "1.5e3",
      "12a",
      "1.2a",
      "1:",
      "1/",
      "/1",
      ":1",
      "1\xb1",
      "\xb5.5",
      "1.\xb9",
      "7\x80",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    int32_t position = -1;
    int32_t unorderedPosition = -1;
    const Extended value = TextToReal(text, position);
    const Extended unordered = TextToRealOfUnorderedSigns(text, unorderedPosition);
    EXPECT_EQ(unorderedPosition, position);
    EXPECT_EQ(std::memcmp(&unordered, &value, 10), 0);
    ExpectPaddedGivesTheSame(text, value, position);
  }
  int32_t position = -1;
  TextToRealOfUnorderedSigns(nullptr, position);
  EXPECT_EQ(position, 1);
}

}  // namespace
