// The rules of framecalc-batch for the text of a coordinate, beside the calculator's reading of
// numbers: a file is not watched as it is read, so a text that the calculator would take for a
// number without a digit ("." "-." "e5", an empty cell) is an error here, and so is a comma, unless
// the file's decimal point is the comma (--decimal-comma); then a point is an error. Digit
// grouping ("1,000.5", "1.000,5", "1 000") is never a number.
#pragma once

#include <cstdint>

#include "batch/record_parser.h"

// A digit in the mantissa: the first character after an optional sign is a digit, or a point
// followed by a digit (the calculator's numbers are [sign] digits [. digits] [exponent]).
[[gnu::always_inline]] inline bool HasMantissaDigit(const char* text) {
  if (*text == '+' || *text == '-') ++text;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return digit(text[0]) || (text[0] == '.' && digit(text[1]));
}

// What keeps a coordinate's text from being a number of a file, beside what the conversion finds.
enum class NumberTextProblem : uint8_t {
  None,
  Empty,                  // an empty cell
  NoDigit,                // "." "-." "e5": the calculator reads them as 0
  CommaNeedsOption,       // "100,5" without --decimal-comma
  PointWithDecimalComma,  // "1.5" or "1.000,5" with --decimal-comma
};

// The token with its decimal comma as the calculator's point, in `out` (whose whole buffer is
// written, so that it may be read as the conversion reads a token). False when `in` holds a
// point.
bool WithDecimalPoint(const FieldToken& in, FieldToken& out);

// Whether a field reads as a number of a file, with the point or, where it is the decimal point,
// the comma: a header holds none. Converts under the caller's control word: call it under one
// that masks every exception, and clear the flags afterwards.
bool ReadsAsNumber(const FieldToken& field);
