// Fuzz target for TextToReal. The input bytes are the text (it ends at the first NUL byte, as the
// converter sees it). Checked for every input:
//   - errorPosition is in [0, length + 1] and is exactly where an independent model of the number
//     grammar says the text stops being a number;
//   - after a failure, the value is the digits read so far as an integer: exactly while that
//     integer is below 2^64, and beyond it as accumulated in extended (x 10, then + digit, each
//     rounded), as it is after a success without scaling;
//   - after a success, the sign bit is the text's sign; a mantissa without a non-zero digit gives
//     zero; an exponent of 5120 or more gives infinity and one of -5120 or less gives zero; with an
//     exact mantissa and |exponent| <= 27 the value is the one correctly rounded product or
//     quotient; otherwise the magnitude is within the decade that the digits say;
//   - the only fault is overflow, and only when the text really lies beyond the extended range
//     (10^4932 or more), or when more than 4932 digits were accumulated (those overflow before
//     the rest of the text is seen, even when a bad character follows); a written exponent outside
//     the 32-bit range may do anything but crash or fault otherwise;
//   - no fault is left pending when the conversion returns;
//   - TextToRealOfUnorderedSigns, and PaddedTextToReal of the text in a buffer of exactly its
//     readable bytes (digits after the NUL), end the same way, with the same value and error
//     position.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "numconv/extended.h"
#include "numconv/text_to_real.h"

namespace {

struct GrammarModel {
  int32_t errorPosition = 0;
  bool negative = false;
  uint64_t digits = 0;            // all mantissa digits as one integer, while exact
  bool digitsExact = true;        // that integer stayed below 2^64
  Extended accumulated = 0;       // the same accumulated in extended: x 10, then + digit
  int64_t significantDigits = 0;  // digits from the first non-zero one on
  int64_t fractionDigits = 0;
  int64_t writtenExponent = 0;  // saturated far beyond the 32-bit range
  bool exponentNegative = false;
};

void AddDigit(GrammarModel& m, char c) {
  unsigned d = static_cast<unsigned>(c - '0');
  if (m.significantDigits > 0 || d != 0) ++m.significantDigits;
  // Two roundings per digit, as the converter does; more than 4932 digits would overflow.
  if (m.significantDigits <= 4932) {
    Extended scaled = m.accumulated * 10;
    asm volatile("" : "+t"(scaled));
    m.accumulated = scaled + static_cast<Extended>(d);
  }
  if (m.digitsExact) {
    if (m.digits > (UINT64_MAX - d) / 10) {
      m.digitsExact = false;
    } else {
      m.digits = m.digits * 10 + d;
    }
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

GrammarModel Model(const char* text) {
  GrammarModel m;
  const char* p = text;
  auto failAt = [&](const char* at) {
    m.errorPosition = static_cast<int32_t>(at - text + 1);
    return m;
  };
  while (*p == ' ') ++p;
  if (*p == '-') {
    m.negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  if (*p == '\0') return failAt(p);
  while (IsDigit(*p)) AddDigit(m, *p++);
  if (*p == '\0') return m;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) {
      AddDigit(m, *p++);
      ++m.fractionDigits;
    }
    if (*p == '\0') return m;
  }
  if (*p == 'E' || *p == 'e') {
    ++p;
    if (*p == '-') {
      m.exponentNegative = true;
      ++p;
    } else if (*p == '+') {
      ++p;
    }
    if (!IsDigit(*p)) return failAt(p);
    while (IsDigit(*p)) {
      if (m.writtenExponent < int64_t{1} << 40)
        m.writtenExponent = m.writtenExponent * 10 + (*p - '0');
      ++p;
    }
    if (*p != '\0') return failAt(p);
    return m;
  }
  return failAt(p);
}

Extended ExactPowerOfTen(int k) {  // exact for k <= 27
  Extended result = 1;
  for (int i = 0; i < k; ++i) result *= 10;
  return result;
}

bool SignBit(Extended value) { return (BitsOf(value).signExponent & 0x8000) != 0; }
bool IsInfinity(Extended value) {
  ExtendedBits bits = BitsOf(value);
  return (bits.signExponent & 0x7FFF) == 0x7FFF && bits.significand == 0x8000000000000000u;
}
bool IsZero(Extended value) {
  ExtendedBits bits = BitsOf(value);
  return (bits.signExponent & 0x7FFF) == 0 && bits.significand == 0;
}
bool SameBits(Extended a, Extended b) {
  ExtendedBits x = BitsOf(a), y = BitsOf(b);
  return x.signExponent == y.signExponent && x.significand == y.significand;
}

void Check(const char* text) {
  const size_t length = std::strlen(text);
  const GrammarModel model = Model(text);
  const int64_t exponent =
      (model.exponentNegative ? -model.writtenExponent : model.writtenExponent) -
      model.fractionDigits;
  const bool exponentInRange =
      exponent >= INT32_MIN && exponent <= INT32_MAX && model.writtenExponent <= INT32_MAX;

  Extended value = 0;
  int32_t errorPosition = -1;
  fuzzguard::Outcome outcome = fuzzguard::Run([&] { value = TextToReal(text, errorPosition); });

  using fuzzguard::Fail;
  using fuzzguard::Outcome;
  if (outcome == Outcome::FaultLeftPending) Fail("conversion returned with a fault pending", text);

  // The conversion without a branch on the sign ends the same way, with the same bits.
  Extended unordered = 0;
  int32_t unorderedPosition = -1;
  const Outcome unorderedOutcome =
      fuzzguard::Run([&] { unordered = TextToRealOfUnorderedSigns(text, unorderedPosition); });
  if (unorderedOutcome != outcome) Fail("TextToRealOfUnorderedSigns ends otherwise", text);
  if (outcome == Outcome::Returned &&
      (unorderedPosition != errorPosition || std::memcmp(&unordered, &value, 10) != 0)) {
    Fail("TextToRealOfUnorderedSigns gives another value or error position", text);
  }
  // The word reader: a buffer of exactly the bytes it may read, digits after the NUL.
  std::vector<char> buffer(std::max(length + 1, size_t{PaddedTextReadableBytes}), '5');
  std::memcpy(buffer.data(), text, length + 1);
  Extended padded = 0;
  int32_t paddedPosition = -1;
  const Outcome paddedOutcome =
      fuzzguard::Run([&] { padded = PaddedTextToReal(buffer.data(), paddedPosition); });
  if (paddedOutcome != outcome) Fail("PaddedTextToReal ends otherwise", text);
  if (outcome == Outcome::Returned &&
      (paddedPosition != errorPosition || std::memcmp(&padded, &value, 10) != 0)) {
    Fail("PaddedTextToReal gives another value or error position", text);
  }
  if (outcome != Outcome::Returned) {
    const bool beyondRange =
        model.significantDigits > 4932 || (exponent < 5120 && model.significantDigits > 0 &&
                                           model.significantDigits + exponent > 4932);
    // The digits are accumulated as they are read: more than 4932 of them overflow before the
    // end of the text is seen, whatever follows.
    if (model.significantDigits > 4932) return;
    if (model.errorPosition != 0) Fail("fault on text that is not a number", text);
    if (outcome != Outcome::Overflow && exponentInRange) Fail("fault other than overflow", text);
    if (!beyondRange && exponentInRange) Fail("overflow within the extended range", text);
    return;
  }

  if (errorPosition < 0 || static_cast<size_t>(errorPosition) > length + 1) {
    Fail("errorPosition outside [0, length + 1]", text);
  }
  if (errorPosition != model.errorPosition) Fail("errorPosition differs from the grammar", text);

  if (errorPosition != 0) {
    if (model.digitsExact && !SameBits(value, static_cast<Extended>(model.digits))) {
      Fail("value after a failure is not the digits read so far", text);
    }
    if (model.significantDigits <= 4932 && !SameBits(value, model.accumulated)) {
      Fail("value after a failure is not the digits accumulated in extended", text);
    }
    return;
  }

  if (!exponentInRange) return;  // what such an exponent yields is left open
  if (SignBit(value) != model.negative) Fail("sign bit differs from the text's sign", text);
  if (exponent >= 5120) {
    if (!IsInfinity(value)) Fail("exponent >= 5120 does not give infinity", text);
    return;
  }
  if (exponent <= -5120 || model.significantDigits == 0) {
    if (!IsZero(value)) Fail("zero mantissa or exponent <= -5120 does not give zero", text);
    return;
  }
  if (model.significantDigits + exponent > 4932) {
    // Only rounding keeps a value this close to the top from overflowing; it must be huge.
    if (!(-value > 1e4931L || value > 1e4931L)) Fail("value near the top is not huge", text);
    return;
  }
  const Extended magnitude = model.negative ? -value : value;
  if (exponent == 0 && !SameBits(magnitude, model.accumulated)) {
    Fail("value without scaling is not the digits accumulated in extended", text);
  }
  if (model.digitsExact && exponent >= -27 && exponent <= 27) {
    const Extended digits = static_cast<Extended>(model.digits);
    const Extended expected = exponent >= 0 ? digits * ExactPowerOfTen(static_cast<int>(exponent))
                                            : digits / ExactPowerOfTen(static_cast<int>(-exponent));
    if (!SameBits(magnitude, expected)) Fail("not correctly rounded", text);
    return;
  }
  // The digits say 10^(L - 1 + n) <= |value| < 10^(L + n); allow for the roundings on the way.
  const int64_t low = model.significantDigits - 1 + exponent;
  if (low >= -4900 && low < 4930) {
    if (magnitude < fuzzguard::PowerOfTen(low) * (1 - 1e-15L) ||
        magnitude > fuzzguard::PowerOfTen(low + 1) * (1 + 1e-15L)) {
      Fail("magnitude outside the decade of the digits", text);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<char> text;
  text.assign(reinterpret_cast<const char*>(data), reinterpret_cast<const char*>(data) + size);
  text.push_back('\0');
  Check(text.data());
  if (size == 0) {
    int32_t errorPosition = 0;
    fuzzguard::Outcome outcome = fuzzguard::Run([&] { (void)TextToReal(nullptr, errorPosition); });
    if (outcome != fuzzguard::Outcome::Returned || errorPosition != 1) {
      fuzzguard::Fail("absent text does not give errorPosition 1", "null");
    }
  }
  return 0;
}
