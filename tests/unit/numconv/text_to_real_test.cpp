// Text to extended: the grammar with its error positions, the limits of the total exponent, the
// saturation of exponents beyond 32 bits, and the overflow fault of the scaling.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "numconv/text_to_real.h"
#include "numconv/fpu_control.h"
#include "platform/faults.h"
#include "unit/numconv/control_word_fixture.h"

namespace {

constexpr uint64_t IntegerBit = UINT64_C(0x8000000000000000);

class TextToRealTest : public UnderProgramControlWord {};

struct TextCase {
  const char* text;
  uint16_t signExponent;
  uint64_t significand;
  int32_t errorPosition;
};

void ExpectConversion(const TextCase& c) {
  SCOPED_TRACE(std::string("text \"") + c.text + "\"");
  int32_t errorPosition = -1;
  const ExtendedBits bits = BitsOf(TextToReal(c.text, errorPosition));
  EXPECT_EQ(errorPosition, c.errorPosition);
  EXPECT_EQ(bits.signExponent, c.signExponent);
  EXPECT_EQ(bits.significand, c.significand);
}

// Values: 0, 1, 5, 7, 12, 15, 150, 0.5 and the infinity, as sign/exponent word and significand.
constexpr uint16_t Zero = 0x0000, NegativeZero = 0x8000;
constexpr uint16_t ExpOf1 = 0x3FFF, ExpOf5 = 0x4001, ExpOf12 = 0x4002, ExpOf150 = 0x4006;
constexpr uint16_t ExpOfHalf = 0x3FFE, ExpOfInf = 0x7FFF, ExpOfNegInf = 0xFFFF;
constexpr uint64_t SigOf1 = IntegerBit, SigOf5 = 0xA000000000000000, SigOf7 = 0xE000000000000000;
constexpr uint64_t SigOf12 = 0xC000000000000000, SigOf15 = 0xF000000000000000;
constexpr uint64_t SigOf150 = 0x9600000000000000;

TEST_F(TextToRealTest, AcceptedForms) {
  const TextCase cases[] = {
      {"150", ExpOf150, SigOf150, 0},
      {"+1.5E+2", ExpOf150, SigOf150, 0},
      {"1500e-1", ExpOf150, SigOf150, 0},
      {"0000000000000000000000000000150", ExpOf150, SigOf150, 0},
      {"-150", 0x8000 | ExpOf150, SigOf150, 0},
      {".5", ExpOfHalf, IntegerBit, 0},
      {"5.", ExpOf5, SigOf5, 0},
      {"  7", ExpOf5, SigOf7, 0},
      {".", Zero, 0, 0},
      {"-.", NegativeZero, 0, 0},
      {"e5", Zero, 0, 0},
      {".E2", Zero, 0, 0},
      {"-0", NegativeZero, 0, 0},
      {"-0e-9999", NegativeZero, 0, 0},
      {"12345678901234567890", 0x403E, 0xAB54A98CEB1F0AD2, 0},
      {"18446744073709551615", 0x403E, 0xFFFFFFFFFFFFFFFF, 0},
      {"18446744073709551616", 0x403F, IntegerBit, 0},
      // 2^64 + 3 lies halfway between 2^64 + 2 and 2^64 + 4: the even significand wins.
      {"18446744073709551619", 0x403F, IntegerBit | 2, 0},
  };
  for (const TextCase& c : cases) ExpectConversion(c);
}

// A failing text yields the digits read so far as an integer: no sign, point or exponent applied.
TEST_F(TextToRealTest, ErrorPositions) {
  const TextCase cases[] = {
      {"", Zero, 0, 1},
      {"   ", Zero, 0, 4},
      {"+", Zero, 0, 2},
      {"-", Zero, 0, 2},
      {"E", Zero, 0, 2},
      {"1e", ExpOf1, SigOf1, 3},
      {"1e+", ExpOf1, SigOf1, 4},
      {"1e-x", ExpOf1, SigOf1, 4},
      {"12x", ExpOf12, SigOf12, 3},
      {"-12x", ExpOf12, SigOf12, 4},
      {"1.5.3", ExpOf12, SigOf15, 4},
      {"-1.5x", ExpOf12, SigOf15, 5},
      {"1E5.5", ExpOf1, SigOf1, 4},
      {"1e5 ", ExpOf1, SigOf1, 4},
      {"1,5", ExpOf1, SigOf1, 2},
      {"$10", Zero, 0, 1},
      {"12 ", ExpOf12, SigOf12, 3},
      {"\t5", Zero, 0, 1},
      {"5\r", ExpOf5, SigOf5, 2},
      {"inf", Zero, 0, 1},
      {"nan", Zero, 0, 1},
      {"0x10", Zero, 0, 2},
      {"--1", Zero, 0, 2},
      {"+-1", Zero, 0, 2},
      {"1e--1", ExpOf1, SigOf1, 4},
      {"\xB9", Zero, 0, 1},
  };
  for (const TextCase& c : cases) ExpectConversion(c);
}

TEST_F(TextToRealTest, AbsentTextFailsAtOne) {
  int32_t errorPosition = -1;
  const ExtendedBits bits = BitsOf(TextToReal(nullptr, errorPosition));
  EXPECT_EQ(errorPosition, 1);
  EXPECT_EQ(bits.signExponent, 0);
  EXPECT_EQ(bits.significand, 0u);
}

// From a total exponent of 5120 on the result is the infinity and from -5120 on zero, whatever
// the digits; exponents written beyond 32 bits saturate instead of wrapping round.
TEST_F(TextToRealTest, ExponentLimitsAndSaturation) {
  const TextCase cases[] = {
      {"1e5120", ExpOfInf, IntegerBit, 0},
      {"-1e5120", ExpOfNegInf, IntegerBit, 0},
      {"0e5120", ExpOfInf, IntegerBit, 0},
      {"-0e5120", ExpOfNegInf, IntegerBit, 0},
      {"1e-5120", Zero, 0, 0},
      {"-1e-5120", NegativeZero, 0, 0},
      {"1e-5000", Zero, 0, 0},
      {"123456789e-5200", Zero, 0, 0},
      {"0.0000000001e5130", ExpOfInf, IntegerBit, 0},
      {"1e99999999999", ExpOfInf, IntegerBit, 0},
      {"-1e99999999999", ExpOfNegInf, IntegerBit, 0},
      {"1e-99999999999", Zero, 0, 0},
      {"-1e-99999999999", NegativeZero, 0, 0},
      // 2^31 and 2^32 would wrap to a negative exponent and to zero in 32 bits.
      {"1e2147483648", ExpOfInf, IntegerBit, 0},
      {"1e4294967296", ExpOfInf, IntegerBit, 0},
      {"1e4294967301", ExpOfInf, IntegerBit, 0},
      {"1e-4294967296", Zero, 0, 0},
      {"1e2147483647", ExpOfInf, IntegerBit, 0},
      // The fraction count taken from the most negative exponent must not wrap round either.
      {"0.5e-2147483648", Zero, 0, 0},
      {"0.5e-2147483647", Zero, 0, 0},
      {"0.5e2147483648", ExpOfInf, IntegerBit, 0},
      {"1e000000000000000000000000000000000000000000000000000000000000001", ExpOf12, SigOf5, 0},
      {"1e99999999999999999999999999999999999999999999999999999999999999", ExpOfInf, IntegerBit, 0},
  };
  for (const TextCase& c : cases) ExpectConversion(c);
}

TEST_F(TextToRealTest, LargestAndSmallestMagnitudes) {
  int32_t errorPosition = -1;
  // Both lie just below the largest extended (about 1.18973e4932): finite.
  for (const char* text : {"1e4932", "1.1e4932", "-1.1e4932", "1.189e4932"}) {
    SCOPED_TRACE(text);
    const ExtendedBits bits = BitsOf(TextToReal(text, errorPosition));
    EXPECT_EQ(errorPosition, 0);
    EXPECT_EQ(bits.signExponent & 0x7FFF, 0x7FFE);
  }
  // Below the normal range: a denormal (exponent field 0, integer bit clear, not zero).
  const ExtendedBits denormal = BitsOf(TextToReal("1e-4940", errorPosition));
  EXPECT_EQ(errorPosition, 0);
  EXPECT_EQ(denormal.signExponent, 0);
  EXPECT_NE(denormal.significand, 0u);
  EXPECT_EQ(denormal.significand & IntegerBit, 0u);
  const ExtendedBits negativeDenormal = BitsOf(TextToReal("-1e-4940", errorPosition));
  EXPECT_EQ(negativeDenormal.signExponent, 0x8000);
  EXPECT_EQ(negativeDenormal.significand, denormal.significand);
}

// The overflow of a table operation is the floating-point fault of the process, raised at once.
Extended ConvertUnderDefaultWord(const char* text) {
  LoadFpuControlWord(DefaultFpuControlWord);
  int32_t errorPosition = 0;
  return TextToReal(text, errorPosition);
}

// The fault that a conversion raised, as the platform's fault guard records it; 0 when it
// returned.
platform::DWORD FaultOfConversion(const char* text) {
  platform::InstallFaultHandlers();
  platform::EXCEPTION_RECORD fault{};
  const bool returned = platform::CallWithFaultGuard(
      [](void* context) {
        volatile Extended sink = ConvertUnderDefaultWord(static_cast<const char*>(context));
        (void)sink;
        WaitForPendingFaults();
      },
      const_cast<char*>(text), fault);
  ResetFpu();
  LoadFpuControlWord(DefaultFpuControlWord);
  return returned ? 0 : fault.ExceptionCode;
}

TEST_F(TextToRealTest, OverflowOfTheScalingFaults) {
  for (const char* text : {"1.2e4932", "2e4932", "-2e4932", "1e5000", "1e5119", "99999e5115"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(FaultOfConversion(text), platform::EXCEPTION_FLT_OVERFLOW);
  }
}

// More than 4932 digits overflow the accumulator itself.
TEST_F(TextToRealTest, OverflowOfTheAccumulatorFaults) {
  const std::string digits = "1" + std::string(4940, '0') + "e-4940";
  EXPECT_EQ(FaultOfConversion(digits.c_str()), platform::EXCEPTION_FLT_OVERFLOW);
  // One digit fewer than the overflow, brought back by the exponent: finite.
  int32_t errorPosition = -1;
  const std::string fits = "1" + std::string(4931, '0') + "e-4931";
  const ExtendedBits bits = BitsOf(TextToReal(fits.c_str(), errorPosition));
  EXPECT_EQ(errorPosition, 0);
  EXPECT_GE(bits.signExponent & 0x7FFF, 0x3FFE);  // about 1, after 4931 digits of rounding
  EXPECT_LE(bits.signExponent & 0x7FFF, 0x3FFF);
}

// With overflow masked (a changed control word) the overflow gives the infinity of the sign.
TEST_F(TextToRealTest, MaskedOverflowGivesInfinity) {
  LoadFpuControlWord(DefaultFpuControlWord | 0x0008);
  int32_t errorPosition = -1;
  const ExtendedBits positive = BitsOf(TextToReal("1e5000", errorPosition));
  EXPECT_EQ(errorPosition, 0);
  const ExtendedBits negative = BitsOf(TextToReal("-2e4932", errorPosition));
  EXPECT_EQ(errorPosition, 0);
  LoadFpuControlWord(DefaultFpuControlWord);
  EXPECT_EQ(positive.signExponent, ExpOfInf);
  EXPECT_EQ(positive.significand, IntegerBit);
  EXPECT_EQ(negative.signExponent, ExpOfNegInf);
  EXPECT_EQ(negative.significand, IntegerBit);
}

}  // namespace
