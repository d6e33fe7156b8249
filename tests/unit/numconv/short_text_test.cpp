// Texts of at most nineteen digits, the usual ones, read in one exact integer and scaled once:
// the same bits as the table walk gives for that integer, with every placing of the point, a
// sign, blanks in front and small written exponents; and the double powers used for that one
// scaling are the extended table's entries.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "numconv/extended.h"
#include "numconv/powers_of_ten.h"
#include "numconv/text_to_real.h"
#include "unit/numconv/control_word_fixture.h"

namespace {

class ShortTexts : public UnderProgramControlWord {};

TEST_F(ShortTexts, DoublePowersAreTheExtendedEntries) {
  for (int k = 0; k <= LargestExactDoublePower; ++k) {
    const Extended widened = ExactDoublePowersOfTen[k];
    EXPECT_EQ(std::memcmp(&widened, &SmallPowersOfTen[k], 10), 0) << "10^" << k;
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
  }
}

}  // namespace
