// Extended to text: normalisation, the two roundings of digit production, fixed and scientific
// notation with their switch at 2^120, the clamps of width and decimals, and the non-finite texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "numconv/real_to_text.h"
#include "numconv/fpu_control.h"
#include "unit/numconv/control_word_fixture.h"

namespace {

constexpr uint64_t IntegerBit = UINT64_C(0x8000000000000000);

class RealToTextTest : public UnderProgramControlWord {
 protected:
  static std::string Text(Extended value, int32_t width, int32_t decimals) {
    CountedText out;
    RealToText(value, width, decimals, out);
    return std::string(out.chars, out.length);
  }
};

const Extended TwoTo120 = ExtendedFromBits(0x4077, IntegerBit);
const Extended Infinity = ExtendedFromBits(0x7FFF, IntegerBit);
const Extended LargestExtended = ExtendedFromBits(0x7FFE, UINT64_C(0xFFFFFFFFFFFFFFFF));
const Extended SmallestDenormal = ExtendedFromBits(0x0000, 1);

struct TextCase {
  Extended value;
  int32_t width;
  int32_t decimals;
  const char* expected;
};

void ExpectTexts(const TextCase* begin, const TextCase* end) {
  for (const TextCase* c = begin; c != end; ++c) {
    SCOPED_TRACE("expected \"" + std::string(c->expected) + "\" (width " +
                 std::to_string(c->width) + ", decimals " + std::to_string(c->decimals) + ")");
    CountedText out;
    RealToText(c->value, c->width, c->decimals, out);
    EXPECT_EQ(std::string(out.chars, out.length), c->expected);
  }
}

// Doubles are written as the double nearest to the decimal, widened to extended.
TEST_F(RealToTextTest, FixedNotation) {
  const TextCase cases[] = {
      {150.0L, 5, 2, "150.00"},
      {12.5L, 5, 2, "12.50"},
      {1234.567, 5, 2, "1234.57"},
      {-7.0L, 5, 2, "-7.00"},
      {10.0L, 5, 2, "10.00"},
      {1.5L, 5, 2, " 1.50"},
      {0.005, 5, 2, " 0.01"},    // 0.005000000000000000104...
      {-2.345, 5, 2, "-2.35"},   // 2.34500000000000019...
      {0.145, 5, 2, " 0.14"},    // 0.14499999999999999...
      {99.995, 5, 2, "100.00"},  // 99.99500000000000454...
      {9.999, 5, 2, "10.00"},
      {-9.999, 5, 2, "-10.00"},
      {0.125L, 5, 2, " 0.13"},  // a tie in the digit string rounds away from zero
      {-0.125L, 5, 2, "-0.13"},
      {-0.001, 5, 2, "-0.00"},
      {-0.0L, 5, 2, "-0.00"},
      {0.0L, 5, 2, " 0.00"},
      {1e20L, 5, 2, "100000000000000000000.00"},
      {1e36, 5, 2, "1000000000000000042000000000000000000.00"},
      {0x1.fffffffffffffp119, 5, 2, "1329227995784915725000000000000000000.00"},
      {0x1.5555555555555p-2, 5, 20, "0.33333333333333331000"},  // the double 1/3
      {0.1, 5, 25, "0.1000000000000000100000000"},
      {0.5L, 5, 0, "    1"},
      {2.5L, 0, 0, "3"},
      {-2.5L, 0, 0, "-3"},
      {-0.0L, 0, 0, "-0"},
      {1000.0L, 8, 0, "    1000"},
      {5.0L, 5, 1, "  5.0"},
      {65.25L, 8, 3, "  65.250"},
      {150.0L, -5, 2, "150.00"},
      {150.0L, 0, 2, "150.00"},
      // x * 10^17 lands exactly halfway between two integers: the first rounding goes to even.
      {0x1p-18L, 0, 17, "0.00000381469726562"},  // 0.000003814697265625
      {0x3p-18L, 0, 17, "0.00001144409179688"},  // 0.000011444091796875
      // Divided by 10^3 it is still above 16, and divided once more: 18 digits, the rest zeros.
      {16239.194250837645, 0, 20, "16239.19425083764510000000"},
      // Below 10 no normalisation: 17 decimals resolved, the rest zeros.
      {0x1p-18L, 0, 20, "0.00000381469726562000"},
  };
  ExpectTexts(std::begin(cases), std::end(cases));
}

TEST_F(RealToTextTest, ScientificNotation) {
  const TextCase cases[] = {
      {123.456, 10, -1, " 1.2E+0002"},
      {-123.456, 10, -1, "-1.2E+0002"},
      {123.456, 20, -1, " 1.23456000000E+0002"},
      {123.456, 40, -1, "               1.23456000000000003E+0002"},
      {1.25e20L, 10, -1, " 1.3E+0020"},
      {9.96, 10, -1, " 1.0E+0001"},
      {0.0L, 10, -1, " 0.0E+0000"},
      {-0.0L, 10, -1, "-0.0E+0000"},
      {1.5e-5, 10, -1, " 1.5E-0005"},
      {1e-20, 12, -1, " 1.000E-0020"},
      {1.0L, 0, -1, " 1.0E+0000"},
      {1.0L, -100, -1, " 1.0E+0000"},
      {LargestExtended, 10, -1, " 1.2E+4932"},
      {-LargestExtended, 10, -1, "-1.2E+4932"},
      {SmallestDenormal, 10, -1, " 3.6E-4951"},
  };
  ExpectTexts(std::begin(cases), std::end(cases));
}

// Fixed notation gives way to scientific notation from 2^120 on, with the width's digit count.
TEST_F(RealToTextTest, SwitchToScientificAt2To120) {
  const TextCase cases[] = {
      {TwoTo120, 5, 2, " 1.3E+0036"},
      {-TwoTo120, 5, 2, "-1.3E+0036"},
      {TwoTo120, 12, 2, " 1.329E+0036"},
      {2e36L, 5, 2, " 2.0E+0036"},
      {LargestExtended, 5, 0, " 1.2E+4932"},
      {0x1.fffffffffffffp119, 5, 0, "1329227995784915725000000000000000000"},
  };
  ExpectTexts(std::begin(cases), std::end(cases));
}

TEST_F(RealToTextTest, NonFiniteValues) {
  const Extended quietNan = ExtendedFromBits(0x7FFF, 0xC000000000000000);
  const Extended signalingNan = ExtendedFromBits(0xFFFF, 0x8000000000000001);
  const Extended pseudoInfinity = ExtendedFromBits(0x7FFF, 0);
  const Extended unnormal = ExtendedFromBits(0x4000, 0x4000000000000000);  // integer bit clear
  const TextCase cases[] = {
      {Infinity, 5, 2, " +Inf"},
      {-Infinity, 5, 2, " -Inf"},
      {quietNan, 5, 2, "  Nan"},
      {-quietNan, 5, 2, "  Nan"},
      {signalingNan, 5, 2, "  Nan"},
      {Infinity, 2, 2, "+Inf"},
      {-Infinity, 2, 2, "-Inf"},
      {quietNan, 2, 2, "Nan"},
      {Infinity, 8, -1, "    +Inf"},
      {pseudoInfinity, 0, 2, "Nan"},
      // Not an encoding the arithmetic accepts: written as no number rather than faulting.
      {unnormal, 5, 2, "  Nan"},
      {unnormal, 10, -1, "       Nan"},
  };
  ExpectTexts(std::begin(cases), std::end(cases));
}

TEST_F(RealToTextTest, WidthAndDecimalsAreClamped) {
  // Width beyond 255 pads to 255.
  EXPECT_EQ(Text(150.0L, 1000, 2), std::string(249, ' ') + "150.00");
  EXPECT_EQ(Text(Infinity, 300, 2), std::string(251, ' ') + "+Inf");
  EXPECT_EQ(Text(123.456, 400, -7), std::string(229, ' ') + " 1.23456000000000003E+0002");
  // Decimals beyond 216: 1.5 then 215 zeros.
  EXPECT_EQ(Text(1.5L, 5, 300), "1.5" + std::string(215, '0'));
  // The longest text: sign, 37 integer digits, point and 216 decimals make 255 characters.
  const Extended belowTwoTo120 = ExtendedFromBits(0xC076, UINT64_C(0xFFFFFFFFFFFFFFFF));
  const std::string longest = Text(belowTwoTo120, 255, 1000);
  ASSERT_EQ(longest.size(), 255u);
  EXPECT_EQ(longest.substr(0, 18), "-13292279957849158");
  EXPECT_EQ(longest[38], '.');
  EXPECT_EQ(longest.substr(39), std::string(216, '0'));
  EXPECT_EQ(longest.substr(21, 17), std::string(17, '0'));
}

// Any 32-bit width is accepted: the most negative ones add no spaces and give the fewest
// mantissa digits, without overflowing the width arithmetic.
TEST_F(RealToTextTest, ExtremeWidthsAddNoSpaces) {
  const TextCase cases[] = {
      {-1.0L, INT32_MIN, INT32_MIN, "-1.0E+0000"},
      {-1.0L, INT32_MIN, -1, "-1.0E+0000"},
      {2.5L, INT32_MIN + 3, 0, "3"},
      {TwoTo120, INT32_MIN, 2, " 1.3E+0036"},
      {Infinity, INT32_MIN, 2, "+Inf"},
  };
  ExpectTexts(std::begin(cases), std::end(cases));
  EXPECT_EQ(Text(1.5L, INT32_MAX, -1), std::string(229, ' ') + " 1.50000000000000000E+0000");
}

TEST_F(RealToTextTest, NormalizeDecimalBringsValuesIntoOneToSixteen) {
  struct Case {
    Extended value;
    Extended mantissa;
    int32_t exponent;
  };
  const Case exact[] = {
      {0.0L, 0.0L, 0},     {1.0L, 1.0L, 0},
      {150.0L, 1.5L, 2},   {1.25e20L, 12.5L, 19},  // b = 66, k = 19
      {15.0L, 15.0L, 0},                           // leading digits 15 may stay in [10, 16)
      {16000.0L, 1.6L, 4},                         // b = 13, k = 3 gives 16: one more division
      {0.5L, 5.0L, -1},
  };
  for (const Case& c : exact) {
    SCOPED_TRACE(std::to_string(static_cast<double>(c.value)));
    const NormalizedDecimal n = NormalizeDecimal(c.value);
    EXPECT_EQ(n.mantissa, c.mantissa);
    EXPECT_EQ(n.exponent, c.exponent);
  }
  const struct {
    Extended value;
    int32_t exponent;
  } scaled[] = {
      {TwoTo120, 36},
      {0x1.fffffffffffffp119L, 35},
      {LargestExtended, 4931},  // 11.89...: the lead digit carries the last power
      {SmallestDenormal, -4951},
      {0x1p-16382L, -4932},
  };
  for (const auto& c : scaled) {
    const NormalizedDecimal n = NormalizeDecimal(c.value);
    EXPECT_EQ(n.exponent, c.exponent);
    EXPECT_GE(n.mantissa, 1.0L);
    EXPECT_LT(n.mantissa, 16.0L);
  }
}

TEST_F(RealToTextTest, ProduceDigitsWorkedExamples) {
  const struct {
    Extended x;
    int32_t count;
    bool scientificLeadRule;
    const char* expected;  // positions 0..count (lead first)
  } cases[] = {
      {1.5L, 5, false, "015000"},  // 150 with 2 decimals
      {0.005, 3, false, "0001"},   // position 4 is "5": position 3 becomes "1"
      {12.5L, 2, true, "13"},      // lead "1": rounded after position 1
      {12.5L, 2, false, "125"},    // without the rule: rounded after position 2
      {9.96, 2, true, "100"},      // the carry reaches the lead
      {9.96, 1, false, "10"},
      {0x1p-18L, 18, false, "0000000381469726562"},  // tie of the integer rounding: even
      {15.5L, 18, false, "1550000000000000000"},     // 18 positions: nothing rounded
      {1.5L, 20, false,
       "0150000000000000000"
       "00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    DigitString digits;
    ProduceDigits(c.x, c.count, digits, c.scientificLeadRule);
    const size_t shown = std::string(c.expected).size();
    EXPECT_EQ(std::string(digits.digits, shown), c.expected);
  }
}

}  // namespace

namespace {

// A double's text from its own bits is the text of its widened value: every class of double
// (zeros, denormals, the extremes of the exponent, infinities, NaNs), both signs, fixed and
// scientific notation, and the halves where a digit is rounded up.
TEST_F(RealToTextTest, DoubleToTextIsTheTextOfTheWidenedValue) {
  const double values[] = {0.0,
                           -0.0,
                           1.0,
                           -1.0,
                           0.005,
                           2.675,
                           -73.125,
                           9.995,
                           150.0,
                           8627.19,
                           -38134.0,
                           99999.995,
                           1e15,
                           1.2345678901234567e17,
                           0x1p120,
                           0x1p-1022,
                           0x1p-1074,
                           -0x1.8p-1070,
                           1.7976931348623157e308,
                           -2.2250738585072009e-308,
                           __builtin_inf(),
                           -__builtin_inf(),
                           __builtin_nan("")};
  for (const double value : values) {
    for (const int32_t decimals : {-1, 0, 2, 5, 18, 216}) {
      for (const int32_t width : {0, 5, 25}) {
        CountedText fromDouble, fromExtended;
        DoubleToText(value, width, decimals, fromDouble);
        RealToText(Extended(value), width, decimals, fromExtended);
        EXPECT_EQ(std::string(fromDouble.chars, fromDouble.length),
                  std::string(fromExtended.chars, fromExtended.length))
            << value << " width " << width << " decimals " << decimals;
      }
    }
  }
}

}  // namespace
