// Decimal text to an extended real, in one pass and without allocation.
//
// The accumulator is an extended that takes each digit with two roundings (times ten, then plus
// the digit). Both are exact while the accumulated integer stays below 2^64, so up to there the
// digits are gathered in a uint64_t and converted once; from there on every digit goes through
// the two rounded extended steps.
#include "numconv/text_to_real.h"

#include <cstdint>

#include "numconv/eight_digits.h"
#include "numconv/powers_of_ten.h"

namespace {

// Largest value that can still take "times ten plus a digit" within 64 bits.
constexpr uint64_t LastExactAccumulator = (UINT64_MAX - 9) / 10;
constexpr int32_t SafeDigits = 19;

// A written exponent stops growing here; it is then far beyond any scaling limit, and times ten
// plus a digit cannot overflow int64_t.
constexpr int64_t SaturatedExponent = INT64_C(100000000000000000);

constexpr int64_t Int32Max = INT32_MAX;

constexpr uint64_t IntegerPowersOfTen[9] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};

inline bool IsDigit(unsigned char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The digits read so far as one integer.
struct Accumulator {
  uint64_t exact = 0;       // the value while it is below 2^64 (wide is false)
  Extended rounded = 0;     // the value once it has left the 64-bit range
  int32_t exactDigits = 0;  // digits taken into `exact` so far
  bool wide = false;

  Extended Value() const { return wide ? rounded : static_cast<Extended>(exact); }
};

// Takes a run of digits into the accumulator and returns how many there were.
inline int64_t AccumulateDigits(const unsigned char*& p, Accumulator& acc) {
  const unsigned char* const start = p;
  if (!acc.wide) {
    uint64_t value = acc.exact;
    // Nineteen digits in all always fit (10^19 - 1 < 2^64): no overflow test for those.
    int32_t room = SafeDigits - acc.exactDigits;
    while (room > 0 && IsDigit(*p)) {
      value = value * 10 + static_cast<uint64_t>(*p - '0');
      ++p;
      --room;
    }
    acc.exactDigits = SafeDigits - room;
    while (IsDigit(*p)) {
      if (value > LastExactAccumulator) break;
      value = value * 10 + static_cast<uint64_t>(*p - '0');
      ++p;
    }
    acc.exact = value;
    if (!IsDigit(*p)) return p - start;
    acc.wide = true;
    acc.rounded = static_cast<Extended>(value);  // exact: 64-bit significand
  }
  Extended value = acc.rounded;
  while (IsDigit(*p)) {
    value = CheckedResult(value * Extended(10));
    value = CheckedResult(value + static_cast<Extended>(*p - '0'));
    ++p;
  }
  acc.rounded = value;
  return p - start;
}

inline int32_t PositionOf(const unsigned char* text, const unsigned char* p) {
  const int64_t position = (p - text) + 1;
  return position > Int32Max ? INT32_MAX : static_cast<int32_t>(position);
}

// The exponent after "E" or "e" (p is past the letter): its value, saturated far beyond every
// scaling limit, or false when the text stops being a number (p is then where it stopped).
inline bool ReadExponent(const unsigned char*& p, int64_t& exponent) {
  bool exponentNegative = false;
  if (*p == '-') {
    exponentNegative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  if (!IsDigit(*p)) return false;
  int64_t written = 0;
  do {
    if (written < SaturatedExponent) written = written * 10 + (*p - '0');
    ++p;
  } while (IsDigit(*p));
  if (*p != 0) return false;
  exponent = exponentNegative ? -written : written;
  return true;
}

// Any text: digits beyond the nineteenth go through the extended steps.
__attribute__((noinline)) Extended GeneralTextToReal(const unsigned char* const begin,
                                                     int32_t& errorPosition) {
  const unsigned char* p = begin;
  Accumulator acc;

  while (*p == ' ') ++p;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  if (*p == 0) {
    errorPosition = PositionOf(begin, p);
    return acc.Value();
  }

  AccumulateDigits(p, acc);
  int64_t fractionCount = 0;
  int64_t writtenExponent = 0;
  if (*p != 0) {
    if (*p == '.') {
      ++p;
      fractionCount = AccumulateDigits(p, acc);
    }
    if (*p != 0) {
      if (*p != 'E' && *p != 'e') {
        errorPosition = PositionOf(begin, p);
        return acc.Value();
      }
      ++p;
      if (!ReadExponent(p, writtenExponent)) {
        errorPosition = PositionOf(begin, p);
        return acc.Value();
      }
    }
  }

  // Both terms are far inside int64_t; the total is then held to the int32_t range, where
  // everything beyond the scaling limits gives the same infinity or zero.
  int64_t n = writtenExponent - fractionCount;
  if (n > Int32Max) n = Int32Max;
  if (n < -Int32Max) n = -Int32Max;
  Extended value = ScaleByPowerOfTen(acc.Value(), static_cast<int32_t>(n));
  if (negative) value = -value;
  errorPosition = 0;
  return value;
}

// integer * 10^n for |n| <= LargestExactDoublePower, in one operation with the exact power as it
// is in `powers` (a row of SignedExactDoublePowersOfTen: the negated row carries a minus sign
// into the result, rounding to nearest being symmetric).
inline Extended ScaledByExactPower(Extended integer, int64_t n, const double* powers) {
  return n < 0 ? integer / static_cast<Extended>(powers[-n])
               : integer * static_cast<Extended>(powers[n]);
}

// The usual text has at most nineteen digits in all: they are gathered in one exact integer, the
// fraction's digits straight after the integer's, and the value is that integer scaled once.
// This gives the same bits as the digit-by-digit accumulator, which is exact up to there; longer
// texts are read again by the general path.
//
// SignBranchFree chooses how the sign is taken; both ways give the same bits. With a branch, the
// characters after the sign are read at once while the branch is predicted; without one, they
// wait for the sign to be looked at, and the sign is carried by the power of ten (rounding to
// nearest is symmetric, so the result is the negated quotient or product, a zero included).
template <bool SignBranchFree>
[[gnu::always_inline]] inline Extended ShortTextToReal(const char* text, int32_t& errorPosition) {
  if (text == nullptr) {
    errorPosition = 1;
    return Extended(0);
  }
  const auto* const begin = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* p = begin;
  while (*p == ' ') ++p;
  const bool negative = *p == '-';
  if constexpr (SignBranchFree) {
    p += static_cast<int>(negative) | static_cast<int>(*p == '+');
  } else if (*p == '-' || *p == '+') {
    ++p;
  }
  if (*p == 0) {
    errorPosition = PositionOf(begin, p);
    return Extended(0);
  }
  const unsigned char* const digitsStart = p;
  uint64_t digits = 0;
  unsigned digit;
  while ((digit = static_cast<unsigned>(*p) - '0') < 10) {
    digits = digits * 10 + digit;  // wraps harmlessly beyond 19 digits: that text goes elsewhere
    ++p;
  }
  int64_t digitCount = p - digitsStart;
  int64_t fractionCount = 0;
  if (*p == '.') {
    const unsigned char* const fractionStart = ++p;
    while ((digit = static_cast<unsigned>(*p) - '0') < 10) {
      digits = digits * 10 + digit;
      ++p;
    }
    fractionCount = p - fractionStart;
    digitCount += fractionCount;
  }
  if (digitCount > SafeDigits) return GeneralTextToReal(begin, errorPosition);

  int64_t writtenExponent = 0;
  if (*p != 0) {
    if ((*p | 0x20) != 'e' || !ReadExponent(++p, writtenExponent)) {
      errorPosition = PositionOf(begin, p);
      return static_cast<Extended>(digits);
    }
  }
  int64_t n = writtenExponent - fractionCount;
  const Extended integer = static_cast<Extended>(digits);
  Extended value;
  if (n >= -LargestExactDoublePower && n <= LargestExactDoublePower) {
    // One operation with an exact power of ten, as the table walk makes it. A product below
    // 10^19 * 10^22 cannot overflow and a quotient by 10^k >= 1 cannot fault at all: no check is
    // needed. Times 10^0 leaves the integer as it is.
    value =
        ScaledByExactPower(integer, n, SignedExactDoublePowersOfTen[SignBranchFree && negative]);
    if constexpr (SignBranchFree) {
      errorPosition = 0;
      return value;
    }
  } else {
    // Both terms are far inside int64_t; the total is then held to the int32_t range, where
    // everything beyond the scaling limits gives the same infinity or zero.
    if (n > Int32Max) n = Int32Max;
    if (n < -Int32Max) n = -Int32Max;
    value = ScaleByPowerOfTen(integer, static_cast<int32_t>(n));
  }
  if (negative) value = -value;
  errorPosition = 0;
  return value;
}

// The usual coordinate, read eight characters at a time: an optional sign, up to eight digits,
// and optionally a point and up to eight more, nothing else. False for every other text (which
// ShortTextToReal then reads). The digits' integer and its power of ten are those that
// ShortTextToReal gathers from the same text (at most sixteen digits), and the one operation is
// the same: the same bits. Reads up to 18 bytes from `text`.
[[gnu::always_inline]] inline bool ReadUsualCoordinate(const char* text, Extended& value) {
  const bool negative = text[0] == '-';
  const char* p = text + (static_cast<int>(negative) | static_cast<int>(text[0] == '+'));
  const uint64_t integerWord = eightdigits::Load(p);
  const uint32_t integerDigits = eightdigits::LeadingDigits(integerWord);
  p += integerDigits;
  uint64_t fractionWord = 0;
  uint32_t fractionDigits = 0;
  if (*p == '.') {
    ++p;
    fractionWord = eightdigits::Load(p);
    fractionDigits = eightdigits::LeadingDigits(fractionWord);
    p += fractionDigits;
  }
  // Nine digits or more in a part leave a digit at p.
  if (*p != 0 || integerDigits + fractionDigits == 0) return false;
  const uint64_t digits =
      eightdigits::DigitsValue(integerWord, integerDigits) * IntegerPowersOfTen[fractionDigits] +
      eightdigits::DigitsValue(fractionWord, fractionDigits);
  value = ScaledByExactPower(static_cast<Extended>(digits), -static_cast<int64_t>(fractionDigits),
                             SignedExactDoublePowersOfTen[negative]);
  return true;
}

}  // namespace

Extended PaddedTextToReal(const char* text, int32_t& errorPosition) {
  Extended value;
  if (ReadUsualCoordinate(text, value)) {
    errorPosition = 0;
    return value;
  }
  return ShortTextToReal<true>(text, errorPosition);
}

Extended TextToReal(const char* text, int32_t& errorPosition) {
  return ShortTextToReal<false>(text, errorPosition);
}

Extended TextToRealOfUnorderedSigns(const char* text, int32_t& errorPosition) {
  return ShortTextToReal<true>(text, errorPosition);
}
