// An extended real to fixed or scientific text.
//
// All digits of a value come from one multiplication by 10^17, one rounding to an integer
// (ties to even, under the control word) and one conversion of that integer to 18 decimal
// digits; the requested precision is then applied half up on the digit string.
#include "numconv/real_to_text.h"

#include <bit>
#include <cstring>

#include "numconv/powers_of_ten.h"
#include "numconv/widened_double.h"

namespace {

constexpr uint16_t ExponentMask = 0x7FFF;
constexpr uint16_t SignMask = 0x8000;
constexpr int32_t ExponentBias = 16383;
constexpr uint64_t IntegerBit = UINT64_C(0x8000000000000000);

constexpr int32_t MaximumWidth = 255;
constexpr int32_t MaximumDecimals = 216;
constexpr int32_t LargestFixedExponent = 35;  // up to 37 integer digits
constexpr int32_t MinimumMantissaDigits = 2;
constexpr int32_t MaximumMantissaDigits = 18;
constexpr int32_t ScientificExtraChars = 8;  // sign, point, "E", exponent sign, 4 digits
constexpr int32_t ProducedDigits = 18;
constexpr uint64_t TenPow18 = UINT64_C(1000000000000000000);

constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline void WriteTwoDigits(char* out, uint32_t value) {
  std::memcpy(out, DigitPairs + 2 * value, 2);
}

// value < 10^9 as exactly nine digits: value / 10^8 in 57-bit fixed point gives the first digit,
// then each multiplication by 100 brings the next two into the integer part (checked for every
// value below 10^9).
inline void WriteNineDigits(char* out, uint32_t value) {
  constexpr int Shift = 57;
  constexpr uint64_t Fraction = (uint64_t{1} << Shift) - 1;
  uint64_t t = uint64_t{value} * 1441151881u;  // ceil(2^57 / 10^8)
  out[0] = static_cast<char>('0' + (t >> Shift));
  for (int i = 0; i < 4; ++i) {
    t = (t & Fraction) * 100;
    WriteTwoDigits(out + 1 + 2 * i, static_cast<uint32_t>(t >> Shift));
  }
}

// Half up at `position` 0 of the digit string (the lead): the digits after it are left as they
// are, callers ignore them.
inline void RoundDigitsAfterLead(char* digits) {
  if (digits[1] >= '5') ++digits[0];
}

// Half a unit of digit position 1..17 of the 18 digits produced (position 18 is the last).
constexpr uint64_t HalfUnitAt[ProducedDigits] = {0,
                                                 UINT64_C(50000000000000000),
                                                 UINT64_C(5000000000000000),
                                                 UINT64_C(500000000000000),
                                                 UINT64_C(50000000000000),
                                                 UINT64_C(5000000000000),
                                                 UINT64_C(500000000000),
                                                 UINT64_C(50000000000),
                                                 UINT64_C(5000000000),
                                                 UINT64_C(500000000),
                                                 UINT64_C(50000000),
                                                 UINT64_C(5000000),
                                                 UINT64_C(500000),
                                                 UINT64_C(50000),
                                                 UINT64_C(5000),
                                                 UINT64_C(500),
                                                 UINT64_C(50),
                                                 UINT64_C(5)};

inline int32_t Padding(int32_t width, int32_t length) {
  return width > length ? width - length : 0;
}

// The leading spaces at the start of the field (before the body is written: short runs are one
// fixed 16-byte store that the body then partly overwrites).
inline void FillSpaces(CountedText& out, int32_t count) {
  static_assert(sizeof(out.chars) >= 16);
  if (count <= 16) {
    std::memcpy(out.chars, "                ", 16);
  } else {
    std::memset(out.chars, ' ', static_cast<size_t>(count));
  }
}

void WritePadded(CountedText& out, int32_t width, const char* text, int32_t length) {
  const int32_t pad = Padding(width, length);
  FillSpaces(out, pad);
  std::memcpy(out.chars + pad, text, static_cast<size_t>(length));
  out.length = static_cast<uint8_t>(pad + length);
}

// floor(b * log10(2)) for the binary exponent b of an extended whose exponent field is `field`:
// the power of ten that a round of the normalisation divides by.
inline int32_t DecimalScaleOf(int32_t field) { return ((field - ExponentBias) * 19728) >> 16; }

// The scaling loop of Normalize from its second round on (x just scaled to 10^-e of the value, and
// not yet in [1, 16)): taking x apart in memory to find its exponent is needed only here.
[[gnu::noinline]] NormalizedDecimal NormalizeFurther(Extended x, int32_t e) {
  for (;;) {
    const int32_t field = BitsOf(x).signExponent & ExponentMask;
    const int32_t k = DecimalScaleOf(field);
    if (k == 0) return {x, e};
    e += k;
    x = ScaleByPowerOfTen(x, -k);
    if (x >= Extended(1) && x < Extended(16)) return {x, e};
  }
}

// x >= 0 finite and not zero, with its exponent field (the caller has it already: taking the value
// apart again right after computing it would wait for the store). Divided by 10^k, k the floor of
// b * log10(2) for x's binary exponent b, until b is 0..3, which is exactly when x is in [1, 16):
// the comparison answers the common case without taking the value apart in memory.
[[gnu::always_inline]] inline NormalizedDecimal Normalize(Extended x, int32_t field) {
  const int32_t k = DecimalScaleOf(field);
  if (k == 0) return {x, 0};
  if (k > 0 && k <= LargestExactDoublePower) {
    // The usual coordinate: one division by an exact power of ten, the double operand of the
    // division itself (the same value as the extended table's entry, without an 80-bit load).
    const Extended scaled = x / static_cast<Extended>(ExactDoublePowersOfTen[k]);
    if (scaled >= Extended(1) && scaled < Extended(16)) return {scaled, k};
    return NormalizeFurther(scaled, k);
  }
  return NormalizeFurther(ScaleByPowerOfTen(x, -k), k);
}

// With allDigits clear, positions 10..18 are written only when the rounding at `count` looks at
// them (count >= 9); the caller then reads no position beyond count.
[[gnu::always_inline]] inline void Digits(Extended x, int32_t count, DigitString& out,
                                          bool scientificLeadRule, bool allDigits) {
  char* const digits = out.digits;
  // 10^17 is exact in a double: the multiplication takes it from memory as it is.
  const Extended scaled = CheckedResult(x * static_cast<Extended>(ExactDoublePowersOfTen[17]));
  uint64_t m = static_cast<uint64_t>(RoundToInt64(scaled));
  int32_t position = count;
  if (scientificLeadRule && m >= TenPow18) --position;
  // Half up after `position`: half a unit of that position added to the integer carries through
  // a run of nines into the digits before it, the lead included, as rounding the digit string
  // would (m stays below 1.65 * 10^18, so the lead stays a "0" or a "1"). The digits after the
  // position are then of no use, and no caller reads them.
  if (position >= 1 && position < ProducedDigits) m += HalfUnitAt[position];
  const bool lead = m >= TenPow18;
  m -= lead ? TenPow18 : 0;
  digits[0] = static_cast<char>('0' + lead);
  WriteNineDigits(digits + 1, static_cast<uint32_t>(m / 1000000000));
  if (allDigits || count >= 9) {
    WriteNineDigits(digits + 10, static_cast<uint32_t>(m % 1000000000));
  }

  if (count > ProducedDigits) {
    const int32_t last = count < 252 ? count : 252;
    std::memset(digits + 1 + ProducedDigits, '0', static_cast<size_t>(last - ProducedDigits));
  }
  if (position == 0) RoundDigitsAfterLead(digits);
}

void WriteScientific(CountedText& out, int32_t width, bool negative, Extended x, int32_t e) {
  // The width may be any 32-bit value (a very negative one included): clamp before narrowing.
  const int64_t wanted = int64_t{width} - ScientificExtraChars;
  const int32_t d = wanted < MinimumMantissaDigits   ? MinimumMantissaDigits
                    : wanted > MaximumMantissaDigits ? MaximumMantissaDigits
                                                     : static_cast<int32_t>(wanted);
  DigitString digits;
  Digits(x, d, digits, true, true);
  const char* mantissa = digits.digits + 1;
  if (digits.digits[0] != '0') {
    ++e;
    mantissa = digits.digits;
  }
  const int32_t length = d + ScientificExtraChars;
  char* p = out.chars + Padding(width, length);
  FillSpaces(out, static_cast<int32_t>(p - out.chars));
  *p++ = negative ? '-' : ' ';
  *p++ = mantissa[0];
  *p++ = '.';
  std::memcpy(p, mantissa + 1, static_cast<size_t>(d - 1));
  p += d - 1;
  *p++ = 'E';
  *p++ = e < 0 ? '-' : '+';
  const uint32_t magnitude = static_cast<uint32_t>(e < 0 ? -e : e);  // at most 4951
  WriteTwoDigits(p, magnitude / 100);
  WriteTwoDigits(p + 2, magnitude % 100);
  p += 4;
  out.length = static_cast<uint8_t>(p - out.chars);
}

}  // namespace

NormalizedDecimal NormalizeDecimal(Extended x) {
  const ExtendedBits bits = BitsOf(x);
  const int32_t field = bits.signExponent & ExponentMask;
  if (field == 0 && bits.significand == 0) return {x, 0};
  // An infinity or NaN has no decimal exponent; scaling would never bring it nearer to 1.
  if (field == ExponentMask) return {x, 0};
  return Normalize(x, field);
}

void ProduceDigits(Extended x, int32_t count, DigitString& out, bool scientificLeadRule) {
  Digits(x, count, out, scientificLeadRule, true);
}

namespace {

// RealToText of a value whose bits the caller has already.
[[gnu::always_inline]] inline void WriteReal(Extended value, ExtendedBits bits, int32_t width,
                                             int32_t decimals, CountedText& out) {
  if (width > MaximumWidth) width = MaximumWidth;
  const bool negative = (bits.signExponent & SignMask) != 0;
  const uint16_t field = bits.signExponent & ExponentMask;

  // Encodings that the arithmetic refuses (an exponent with the integer bit clear) are no number
  // either; they are written like a NaN instead of faulting at the first comparison.
  if (field == ExponentMask || (field != 0 && (bits.significand & IntegerBit) == 0)) {
    if (field == ExponentMask && bits.significand == IntegerBit) {
      WritePadded(out, width, negative ? "-Inf" : "+Inf", 4);
    } else {
      WritePadded(out, width, "Nan", 3);
    }
    return;
  }

  const Extended a = Abs(value);
  const bool isZero = field == 0 && bits.significand == 0;
  if (decimals < 0) {
    const NormalizedDecimal normalized = isZero ? NormalizedDecimal{a, 0} : Normalize(a, field);
    WriteScientific(out, width, negative, normalized.mantissa, normalized.exponent);
    return;
  }

  if (decimals > MaximumDecimals) decimals = MaximumDecimals;
  NormalizedDecimal normalized{a, 0};
  if (!(a < Extended(10))) {
    normalized = Normalize(a, field);
    if (normalized.exponent > LargestFixedExponent) {
      WriteScientific(out, width, negative, normalized.mantissa, normalized.exponent);
      return;
    }
  }

  int32_t n = normalized.exponent + 1;
  DigitString digits;
  Digits(normalized.mantissa, n + decimals, digits, false, false);
  const char* source = digits.digits + 1;
  if (digits.digits[0] != '0') {
    ++n;
    source = digits.digits;
  }

  const int32_t length = (negative ? 1 : 0) + n + (decimals > 0 ? 1 + decimals : 0);
  char* p = out.chars + Padding(width, length);
  FillSpaces(out, static_cast<int32_t>(p - out.chars));
  // The minus sign without a branch (the signs of computed coordinates follow no order): it is
  // written in any case and overwritten by the first digit when the value is not negative.
  *p = '-';
  p += negative ? 1 : 0;
  std::memcpy(p, source, static_cast<size_t>(n));
  p += n;
  if (decimals > 0) {
    *p++ = '.';
    std::memcpy(p, source + n, static_cast<size_t>(decimals));
    p += decimals;
  }
  out.length = static_cast<uint8_t>(p - out.chars);
}

}  // namespace

void RealToText(Extended value, int32_t width, int32_t decimals, CountedText& out) {
  WriteReal(value, BitsOf(value), width, decimals, out);
}

void DoubleToText(double value, int32_t width, int32_t decimals, CountedText& out) {
  const uint64_t image = std::bit_cast<uint64_t>(value);
  if (!IsNormalDouble(image)) {
    RealToText(Extended(value), width, decimals, out);
    return;
  }
  const WidenedDouble widened = WidenNormalDouble(image);
  WriteReal(Extended(value), ExtendedBits{widened.significand, widened.signExponent}, width,
            decimals, out);
}
