// Checks the conversion arithmetic against exact big-integer arithmetic: the power-of-ten tables
// are the nearest extended values, the scaling rounds once per table operation in the order
// small, medium, large, and the text conversion accumulates digits with two roundings each.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "numconv/powers_of_ten.h"
#include "numconv/text_to_real.h"
#include "numconv/fpu_control.h"
#include "unit/numconv/control_word_fixture.h"

namespace {

// A non-negative integer of any size, little-endian 32-bit words without leading zero words.
class BigUnsigned {
 public:
  BigUnsigned() = default;
  explicit BigUnsigned(uint64_t value) {
    while (value != 0) {
      words_.push_back(static_cast<uint32_t>(value));
      value >>= 32;
    }
  }

  static BigUnsigned PowerOfTen(int k) {
    BigUnsigned result(1);
    for (int i = 0; i < k; ++i) result.MultiplySmall(10);
    return result;
  }

  bool IsZero() const { return words_.empty(); }

  int BitLength() const {
    if (words_.empty()) return 0;
    return static_cast<int>(32 * (words_.size() - 1)) + (32 - __builtin_clz(words_.back()));
  }

  void MultiplySmall(uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t& word : words_) {
      const uint64_t product = uint64_t{word} * factor + carry;
      word = static_cast<uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) words_.push_back(static_cast<uint32_t>(carry));
    Trim();
  }

  BigUnsigned operator*(const BigUnsigned& other) const {
    BigUnsigned result;
    if (IsZero() || other.IsZero()) return result;
    result.words_.assign(words_.size() + other.words_.size(), 0);
    for (size_t i = 0; i < words_.size(); ++i) {
      uint64_t carry = 0;
      for (size_t j = 0; j < other.words_.size(); ++j) {
        const uint64_t t = uint64_t{words_[i]} * other.words_[j] + result.words_[i + j] + carry;
        result.words_[i + j] = static_cast<uint32_t>(t);
        carry = t >> 32;
      }
      result.words_[i + other.words_.size()] = static_cast<uint32_t>(carry);
    }
    result.Trim();
    return result;
  }

  BigUnsigned operator+(const BigUnsigned& other) const {
    BigUnsigned result;
    const size_t size = std::max(words_.size(), other.words_.size());
    uint64_t carry = 0;
    for (size_t i = 0; i < size; ++i) {
      const uint64_t t = uint64_t{Word(i)} + other.Word(i) + carry;
      result.words_.push_back(static_cast<uint32_t>(t));
      carry = t >> 32;
    }
    if (carry != 0) result.words_.push_back(static_cast<uint32_t>(carry));
    return result;
  }

  // *this - other; other must not be larger.
  BigUnsigned operator-(const BigUnsigned& other) const {
    BigUnsigned result;
    int64_t borrow = 0;
    for (size_t i = 0; i < words_.size(); ++i) {
      int64_t t = int64_t{words_[i]} - int64_t{other.Word(i)} - borrow;
      borrow = t < 0 ? 1 : 0;
      if (t < 0) t += int64_t{1} << 32;
      result.words_.push_back(static_cast<uint32_t>(t));
    }
    result.Trim();
    return result;
  }

  BigUnsigned ShiftedLeft(int bits) const {
    if (IsZero()) return *this;
    BigUnsigned result;
    result.words_.assign(static_cast<size_t>(bits / 32), 0);
    const int shift = bits % 32;
    uint32_t carry = 0;
    for (const uint32_t word : words_) {
      result.words_.push_back(shift == 0 ? word : (word << shift) | carry);
      carry = shift == 0 ? 0 : word >> (32 - shift);
    }
    if (carry != 0) result.words_.push_back(carry);
    return result;
  }

  friend int Compare(const BigUnsigned& a, const BigUnsigned& b) {
    if (a.words_.size() != b.words_.size()) return a.words_.size() < b.words_.size() ? -1 : 1;
    for (size_t i = a.words_.size(); i-- > 0;) {
      if (a.words_[i] != b.words_[i]) return a.words_[i] < b.words_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  uint32_t Word(size_t i) const { return i < words_.size() ? words_[i] : 0; }
  void Trim() {
    while (!words_.empty() && words_.back() == 0) words_.pop_back();
  }
  std::vector<uint32_t> words_;
};

// A non-negative rational number.
struct Exact {
  BigUnsigned numerator;
  BigUnsigned denominator{1};
};

constexpr int MinimumBinaryExponent = -16445;  // of the significand's last bit, denormals included
constexpr uint64_t IntegerBit = UINT64_C(0x8000000000000000);

// The exact value of a finite, non-negative extended.
Exact ExactOf(ExtendedBits bits) {
  const int field = bits.signExponent & 0x7FFF;
  const int exponent = (field == 0 ? 1 : field) - 16383 - 63;
  Exact result;
  result.numerator = BigUnsigned(bits.significand);
  if (exponent >= 0) {
    result.numerator = result.numerator.ShiftedLeft(exponent);
  } else {
    result.denominator = BigUnsigned(1).ShiftedLeft(-exponent);
  }
  return result;
}

// The extended nearest to numerator/denominator (ties to even), denormals included; a value
// beyond the largest finite extended gives the infinity.
ExtendedBits Nearest(const Exact& value) {
  if (value.numerator.IsZero()) return {0, 0};
  // The quotient numerator / (denominator * 2^e) is to land in [2^63, 2^64).
  int e = value.numerator.BitLength() - value.denominator.BitLength() - 64;
  BigUnsigned n;
  BigUnsigned d;
  const auto scale = [&] {
    n = e < 0 ? value.numerator.ShiftedLeft(-e) : value.numerator;
    d = e > 0 ? value.denominator.ShiftedLeft(e) : value.denominator;
  };
  for (;;) {
    scale();
    if (Compare(n, d.ShiftedLeft(64)) >= 0) {
      ++e;
    } else if (Compare(n, d.ShiftedLeft(63)) < 0) {
      --e;
    } else {
      break;
    }
  }
  if (e < MinimumBinaryExponent) {
    e = MinimumBinaryExponent;
    scale();
  }
  uint64_t quotient = 0;
  for (int bit = 63; bit >= 0; --bit) {
    const BigUnsigned part = d.ShiftedLeft(bit);
    if (Compare(n, part) >= 0) {
      n = n - part;
      quotient |= uint64_t{1} << bit;
    }
  }
  const int half = Compare(n.ShiftedLeft(1), d);
  if (half > 0 || (half == 0 && (quotient & 1) != 0)) {
    ++quotient;
    if (quotient == 0) {
      quotient = IntegerBit;
      ++e;
    }
  }
  const int field = (quotient & IntegerBit) != 0 ? e + 16383 + 63 : 0;
  if (field >= 0x7FFF) return {IntegerBit, 0x7FFF};
  return {quotient, static_cast<uint16_t>(field)};
}

bool IsInfinity(ExtendedBits bits) {
  return (bits.signExponent & 0x7FFF) == 0x7FFF && bits.significand == IntegerBit;
}

Exact Times(const Exact& a, const Exact& b) {
  return {a.numerator * b.numerator, a.denominator * b.denominator};
}

Exact Over(const Exact& a, const Exact& b) {
  return {a.numerator * b.denominator, a.denominator * b.numerator};
}

// 10^k rounded to the nearest extended, from exact powers (independent of the program's tables).
ExtendedBits NearestPowerOfTen(int k) {
  return Nearest({BigUnsigned::PowerOfTen(k), BigUnsigned(1)});
}

// The scaling procedure on exact values: one rounding per table operation, in the order small,
// medium, large. Sets overflow when a step leaves the finite range.
ExtendedBits ModelScale(ExtendedBits x, int32_t n, bool& overflow) {
  overflow = false;
  if (n == 0) return x;
  if (n >= 5120) return {IntegerBit, 0x7FFF};
  if (n <= -5120) return {0, 0};
  const int m = n < 0 ? -n : n;
  const int powers[3] = {m % 32, 32 * ((m / 32) % 16), 512 * (m / 512)};
  for (int step = 0; step < 3; ++step) {
    const int k = powers[step];
    if (step != 0 && k == 0) continue;  // the small step is always made (10^0 is exact)
    const Exact power = ExactOf(NearestPowerOfTen(k));
    x = Nearest(n > 0 ? Times(ExactOf(x), power) : Over(ExactOf(x), power));
    if (IsInfinity(x)) {
      overflow = true;
      return x;
    }
  }
  return x;
}

// The text conversion of `digits` (the mantissa digits without a point) with total exponent n:
// every digit costs two roundings (times ten, plus the digit), then the scaling.
ExtendedBits ModelConversion(const std::string& digits, int32_t n, bool& overflow) {
  ExtendedBits accumulator{0, 0};
  for (const char c : digits) {
    Exact value = ExactOf(accumulator);
    value.numerator.MultiplySmall(10);
    accumulator = Nearest(value);
    value = ExactOf(accumulator);
    value.numerator =
        value.numerator + value.denominator * BigUnsigned(static_cast<uint64_t>(c - '0'));
    accumulator = Nearest(value);
  }
  return ModelScale(accumulator, n, overflow);
}

class ExactReference : public UnderProgramControlWord {};

// The entry's exact value lies within half a unit in the last place of 10^k, and a tie would
// have gone to the even significand.
void ExpectNearestToPowerOfTen(Extended entry, int k) {
  SCOPED_TRACE("10^" + std::to_string(k));
  const ExtendedBits bits = BitsOf(entry);
  ASSERT_NE(bits.significand & IntegerBit, 0u);
  const int shift = (bits.signExponent & 0x7FFF) - 16383 - 63;
  ASSERT_GT(shift, 0);  // 10^32 and above are integers far beyond 2^64
  const BigUnsigned value = BigUnsigned(bits.significand).ShiftedLeft(shift);
  const BigUnsigned power = BigUnsigned::PowerOfTen(k);
  const BigUnsigned distance = Compare(value, power) >= 0 ? value - power : power - value;
  const BigUnsigned halfUlp = BigUnsigned(1).ShiftedLeft(shift - 1);
  const int side = Compare(distance, halfUlp);
  EXPECT_LE(side, 0) << "more than half an ulp away";
  if (side == 0) {
    EXPECT_EQ(bits.significand & 1, 0u) << "tie not rounded to even";
  }
}

TEST_F(ExactReference, LargeAndMediumPowersAreTheNearestExtended) {
  for (int i = 1; i <= 9; ++i) ExpectNearestToPowerOfTen(LargePowersOfTen[i], 512 * i);
  for (int i = 1; i <= 15; ++i) ExpectNearestToPowerOfTen(MediumPowersOfTen[i], 32 * i);
}

TEST_F(ExactReference, SmallPowersAreExactUpTo27AndNearestAbove) {
  for (int k = 0; k < 32; ++k) {
    SCOPED_TRACE("10^" + std::to_string(k));
    const ExtendedBits expected = NearestPowerOfTen(k);
    const ExtendedBits actual = BitsOf(SmallPowersOfTen[k]);
    EXPECT_EQ(actual.signExponent, expected.signExponent);
    EXPECT_EQ(actual.significand, expected.significand);
    const Exact exact = ExactOf(actual);
    const bool isExact =
        Compare(exact.numerator, exact.denominator * BigUnsigned::PowerOfTen(k)) == 0;
    EXPECT_EQ(isExact, k <= 27);
  }
}

TEST_F(ExactReference, ScalingRoundsOncePerTableOperationInOrder) {
  const Extended values[] = {
      1.0L, 3.0L, 7.5L, 0.1L, 12345678901234567890.0L, 0x1.fffffffffffffffep0L};
  const int32_t exponents[] = {1,     27,    28,    31,    32,    33,   100,  511,  512,
                               4000,  4931,  -1,    -27,   -28,   -33,  -100, -512, -4000,
                               -4931, -4940, -4950, -4970, -5119, 5119, 5120, -5120};
  for (const Extended x : values) {
    for (const int32_t n : exponents) {
      bool overflow = false;
      const ExtendedBits expected = ModelScale(BitsOf(x), n, overflow);
      if (overflow) continue;  // the fault is checked by the death tests
      SCOPED_TRACE("n=" + std::to_string(n) + " x=" + std::to_string(static_cast<double>(x)));
      const ExtendedBits actual = BitsOf(ScaleByPowerOfTen(x, n));
      EXPECT_EQ(actual.signExponent, expected.signExponent);
      EXPECT_EQ(actual.significand, expected.significand);
    }
  }
}

struct ConversionCase {
  const char* text;
  const char* digits;  // the mantissa digits as accumulated
  int32_t n;           // written exponent minus the fraction count
};

// Texts whose value the conversion defines by its rounding steps, checked against the model.
TEST_F(ExactReference, TextConversionFollowsTheRoundingSteps) {
  const ConversionCase cases[] = {
      {"-2.345", "2345", -3},
      {"-0.1", "1", -1},
      // Nineteen nines, the most digits read as one integer, at both ends of the exact powers of
      // ten and just beyond them.
      {"-9999999999999999999e-22", "9999999999999999999", -22},
      {"-9999999999999999999e22", "9999999999999999999", 22},
      {"-9999999999999999999e-23", "9999999999999999999", -23},
      {"1.5e-2", "15", -3},
      {"12345678901234567890", "12345678901234567890", 0},
      {"18446744073709551615", "18446744073709551615", 0},
      {"18446744073709551619", "18446744073709551619", 0},
      {"184467440737095516191", "184467440737095516191", 0},
      {"3.14159265358979323846264338327950288", "314159265358979323846264338327950288", -35},
      {"1e4932", "1", 4932},
      {"1.1e4932", "11", 4931},
      {"1.18e4932", "118", 4930},
      {"1e-4940", "1", -4940},
      {"4e-4951", "4", -4951},
      {"1e-4951", "1", -4951},
      {"0.000000000000000000000000000001", "0000000000000000000000000000001", -30},
      {"123456789012345678901234567890e-50", "123456789012345678901234567890", -50},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(c.text);
    bool overflow = false;
    const ExtendedBits expected = ModelConversion(c.digits, c.n, overflow);
    ASSERT_FALSE(overflow);
    int32_t errorPosition = -1;
    const ExtendedBits actual = BitsOf(TextToReal(c.text, errorPosition));
    EXPECT_EQ(errorPosition, 0);
    EXPECT_EQ(actual.signExponent & 0x7FFF, expected.signExponent);
    EXPECT_EQ(actual.significand, expected.significand);
    EXPECT_EQ((actual.signExponent & 0x8000) != 0, c.text[0] == '-');
  }
}

// Generated texts of every length around the 64-bit boundary of the accumulator, with points and
// exponents anywhere, against the model.
TEST_F(ExactReference, GeneratedTextsMatchTheModel) {
  std::mt19937_64 random(20240611);
  for (int round = 0; round < 400; ++round) {
    const int length = 1 + static_cast<int>(random() % 40);
    std::string digits;
    for (int i = 0; i < length; ++i) digits += static_cast<char>('0' + random() % 10);
    const int point = static_cast<int>(random() % static_cast<uint64_t>(length + 1));
    const int exponent = static_cast<int>(random() % 9800) - 4900;
    // Every other text negative: the value's magnitude is the model's, whatever the sign.
    const bool negative = round % 2 == 1;
    const std::string text = (negative ? "-" : "") + digits.substr(0, static_cast<size_t>(point)) +
                             "." + digits.substr(static_cast<size_t>(point)) + "e" +
                             std::to_string(exponent);
    const int32_t n = exponent - (length - point);
    bool overflow = false;
    const ExtendedBits expected = ModelConversion(digits, n, overflow);
    if (overflow) continue;
    SCOPED_TRACE(text);
    int32_t errorPosition = -1;
    const ExtendedBits actual = BitsOf(TextToReal(text.c_str(), errorPosition));
    ASSERT_EQ(errorPosition, 0);
    ASSERT_EQ(actual.signExponent, expected.signExponent | (negative ? 0x8000 : 0));
    ASSERT_EQ(actual.significand, expected.significand);
  }
}

// Up to 19 digits and |n| <= 27 the text's value is rounded once: the result is the nearest.
TEST_F(ExactReference, ShortTextsWithSmallExponentsAreCorrectlyRounded) {
  std::mt19937_64 random(7);
  for (int round = 0; round < 400; ++round) {
    const uint64_t mantissa = random() % UINT64_C(10000000000000000000);
    const int n = static_cast<int>(random() % 55) - 27;
    const bool negative = round % 2 == 1;
    const std::string text =
        (negative ? "-" : "") + std::to_string(mantissa) + "e" + std::to_string(n);
    SCOPED_TRACE(text);
    Exact exact{BigUnsigned(mantissa), BigUnsigned(1)};
    if (n >= 0) {
      exact.numerator = exact.numerator * BigUnsigned::PowerOfTen(n);
    } else {
      exact.denominator = BigUnsigned::PowerOfTen(-n);
    }
    const ExtendedBits expected = Nearest(exact);
    int32_t errorPosition = -1;
    const ExtendedBits actual = BitsOf(TextToReal(text.c_str(), errorPosition));
    ASSERT_EQ(errorPosition, 0);
    ASSERT_EQ(actual.signExponent, expected.signExponent | (negative ? 0x8000 : 0));
    ASSERT_EQ(actual.significand, expected.significand);
  }
}

}  // namespace
