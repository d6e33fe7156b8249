// Fuzz target for RealToText. Input layout (little-endian):
//   bytes 0..9    the extended value as it lies in memory (significand, then sign and exponent)
//   bytes 10..11  width, a signed 16-bit integer
//   bytes 12..13  decimals, a signed 16-bit integer
//   bytes 14..21  when present: width and decimals again as signed 32-bit integers, replacing the
//                 16-bit ones (so that the extremes of the 32-bit range are reached too)
// Checked for every input:
//   - the conversion raises nothing (x87 encodings that the FPU does not support, unnormals and
//     pseudo-denormals, may fault with an invalid operation; they never come from a double);
//   - the text has at most 255 characters and exactly max(width clamped to 255, body length):
//     leading spaces and then the body, never cut;
//   - infinities give "+Inf"/"-Inf", NaNs "Nan"; negative decimals or a magnitude of 2^120 or
//     more give scientific notation " d.dddE+dddd" with clamp(width - 8, 2, 18) mantissa digits;
//     otherwise fixed notation with min(decimals, 216) decimals, a sign exactly for the sign bit
//     and no leading zero in the integer part;
//   - reading the text back with TextToReal gives the value to within one unit of the last digit
//     written (plus the 18 or 19 significant digits that fixed notation resolves), in fixed
//     notation always and in scientific notation for magnitudes between about 10^-4900 and
//     10^4900;
//   - no fault is left pending when the conversion returns.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "numconv/extended.h"
#include "numconv/real_to_text.h"
#include "numconv/text_to_real.h"

namespace {

using fuzzguard::Fail;
using fuzzguard::Outcome;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the body back and checks it against the value within the tolerance.
void CheckReadBack(const std::string& body, Extended value, Extended tolerance, const char* what) {
  Extended parsed = 0;
  int32_t errorPosition = -1;
  Outcome outcome = fuzzguard::Run([&] { parsed = TextToReal(body.c_str(), errorPosition); });
  if (outcome != Outcome::Returned || errorPosition != 0)
    Fail("text does not read back", body.c_str());
  Extended difference = parsed > value ? parsed - value : value - parsed;
  if (!(difference <= tolerance)) Fail(what, body.c_str());
}

void CheckFixed(const std::string& body, Extended value, bool negative, int32_t decimals) {
  size_t i = 0;
  if (negative != (!body.empty() && body[0] == '-'))
    Fail("fixed sign differs from the sign bit", body.c_str());
  if (negative) ++i;
  size_t integerStart = i;
  while (i < body.size() && IsDigit(body[i])) ++i;
  size_t integerDigits = i - integerStart;
  if (integerDigits == 0 || integerDigits > 37)
    Fail("fixed integer part of bad length", body.c_str());
  if (integerDigits > 1 && body[integerStart] == '0')
    Fail("fixed integer part with a leading zero", body.c_str());
  if (decimals > 0) {
    if (i >= body.size() || body[i] != '.') Fail("fixed text without its point", body.c_str());
    ++i;
    size_t fractionStart = i;
    while (i < body.size() && IsDigit(body[i])) ++i;
    if (i - fractionStart != static_cast<size_t>(decimals))
      Fail("fixed text with wrong decimals", body.c_str());
  }
  if (i != body.size()) Fail("fixed text with stray characters", body.c_str());

  // Values below 10 are resolved to 17 decimals, larger ones to 18 or 19 significant digits.
  Extended magnitude = negative ? -value : value;
  Extended tolerance =
      fuzzguard::PowerOfTen(-std::min(decimals, 4900)) + 1e-17L + magnitude * 5e-17L;
  CheckReadBack(body, value, tolerance, "fixed text does not read back within its last digit");
}

void CheckScientific(const std::string& body, Extended value, bool negative, int32_t digits,
                     uint16_t exponentField) {
  // [ -] d . d{digits-1} E [+-] dddd
  bool shape = body.size() == static_cast<size_t>(digits) + 8 &&
               body[0] == (negative ? '-' : ' ') && IsDigit(body[1]) && body[2] == '.' &&
               body[digits + 2] == 'E' && (body[digits + 3] == '+' || body[digits + 3] == '-');
  for (int32_t k = 3; shape && k < digits + 2; ++k) shape = IsDigit(body[k]);
  for (int32_t k = digits + 4; shape && k < digits + 8; ++k) shape = IsDigit(body[k]);
  if (!shape) Fail("scientific text of bad shape", body.c_str());
  Extended magnitude = negative ? -value : value;
  if (magnitude != 0 && body[1] == '0')
    Fail("scientific mantissa of a non-zero value starts with 0", body.c_str());

  if (exponentField >= 16383 - 16280 && exponentField <= 16383 + 16280) {
    Extended tolerance = magnitude * (fuzzguard::PowerOfTen(1 - digits) + 5e-17L);
    CheckReadBack(body, value, tolerance,
                  "scientific text does not read back within its last digit");
  }
}

template <typename T>
T Load(const uint8_t* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 14) return 0;
  const uint64_t significand = Load<uint64_t>(data);
  const uint16_t signExponent = Load<uint16_t>(data + 8);
  int32_t width = Load<int16_t>(data + 10);
  int32_t decimals = Load<int16_t>(data + 12);
  if (size >= 22) {
    width = Load<int32_t>(data + 14);
    decimals = Load<int32_t>(data + 18);
  }
  const Extended value = ExtendedFromBits(signExponent, significand);
  const uint16_t exponentField = signExponent & 0x7FFF;
  const bool negative = (signExponent & 0x8000) != 0;
  const bool integerBit = (significand >> 63) != 0;
  const bool supported = exponentField == 0 ? !integerBit : integerBit;

  CountedText text;
  text.length = 0;
  Outcome outcome = fuzzguard::Run([&] { RealToText(value, width, decimals, text); });
  if (outcome == Outcome::FaultLeftPending) Fail("conversion returned with a fault pending", "");
  if (outcome != Outcome::Returned) {
    if (supported || outcome != Outcome::Invalid) Fail("RealToText faulted", "");
    return 0;
  }
  if (!supported) return 0;

  const std::string all(text.chars, text.length);
  const int32_t field = std::min(width, 255);
  const size_t spaces =
      all.find_first_not_of(' ') == std::string::npos ? all.size() : all.find_first_not_of(' ');

  std::string expectedSpecial;
  if (exponentField == 0x7FFF) {
    expectedSpecial = significand == 0x8000000000000000u ? (negative ? "-Inf" : "+Inf") : "Nan";
  }
  const bool scientific = expectedSpecial.empty() && (decimals < 0 || exponentField >= 16383 + 120);
  const int32_t digits = static_cast<int32_t>(std::clamp<int64_t>(int64_t{width} - 8, 2, 18));
  const int32_t clampedDecimals = std::min(decimals, 216);

  // The body: in scientific notation the last digits + 8 characters (it starts with its own sign
  // position, which may be a space); otherwise everything after the leading spaces.
  size_t bodyLength = scientific ? static_cast<size_t>(digits) + 8 : all.size() - spaces;
  if (bodyLength > all.size()) Fail("text shorter than its body", all.c_str());
  const std::string body = all.substr(all.size() - bodyLength);
  const size_t expectedLength =
      std::max<size_t>(static_cast<size_t>(std::max(field, 0)), bodyLength);
  if (all.size() != expectedLength) Fail("text length is not max(width, body)", all.c_str());
  if (all.find_first_not_of(' ') < all.size() - bodyLength)
    Fail("padding is not spaces only", all.c_str());

  if (!expectedSpecial.empty()) {
    if (body != expectedSpecial) Fail("infinity or NaN written wrongly", all.c_str());
  } else if (scientific) {
    CheckScientific(body, value, negative, digits, exponentField);
  } else {
    CheckFixed(body, value, negative, clampedDecimals);
  }
  return 0;
}
