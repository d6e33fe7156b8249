// An extended real to fixed or scientific text, right-aligned in a field.
#pragma once

#include <cstdint>

#include "numconv/extended.h"

struct NormalizedDecimal {
  Extended mantissa;  // in [1, 16), or 0
  int32_t exponent;   // value ~ mantissa * 10^exponent
};

// Brings x >= 0 into [1, 16) by powers of ten.
NormalizedDecimal NormalizeDecimal(Extended x);

// Position 0 is leadDigit ('0' or '1'); positions 1..count (at least 1..18) hold digits; the
// string has room for the 252 positions that fixed notation can ask for after the lead.
struct DigitString {
  char digits[1 + 252 + 1];
};

// The digits of x * 10^17 (0 <= x < 16), rounded after position `count`.
// With scientificLeadRule set (scientific notation with a lead of "1"), the rounding is made after
// position count - 1 when the lead digit is "1".
void ProduceDigits(Extended x, int32_t count, DigitString& out, bool scientificLeadRule = false);

// Fixed notation with `decimals` digits after the point, or scientific notation when decimals is
// negative or the value is 2^120 or more; right-aligned in `width` (at most 255).
void RealToText(Extended value, int32_t width, int32_t decimals, CountedText& out);

// RealToText of a double's widened value, the same text. A normal double's extended bits are
// taken from its own: the widened value is not stored and taken apart again, which costs more
// than the rest of the conversion on an x87 (a store of 80 bits does not forward to the loads of
// its parts). Zeros, denormals, infinities and NaNs are widened as they are.
void DoubleToText(double value, int32_t width, int32_t decimals, CountedText& out);
