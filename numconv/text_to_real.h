// Decimal text to an extended real.
#pragma once

#include <cstdint>

#include "numconv/extended.h"

// Converts NUL-terminated text (or null). errorPosition is written on every call: 0 when the
// whole text is a number, otherwise the 1-based position at which it stopped being one (the
// value is then the digits read so far, as an integer). Bad text raises nothing; only an
// overflow of the final scaling faults.
Extended TextToReal(const char* text, int32_t& errorPosition);

// TextToReal for texts whose signs follow no order, such as the coordinates of a file: the same
// value and error position, taken without a branch on the sign. A branch on a random sign is
// mispredicted every other text; without it, every text waits a few cycles for its sign to be
// looked at, which costs texts whose signs repeat (typed answers) about a fifth.
Extended TextToRealOfUnorderedSigns(const char* text, int32_t& errorPosition);

// TextToRealOfUnorderedSigns for a text (not null) whose buffer can be read for
// PaddedTextReadableBytes bytes from its start, past its NUL: the same value and error position.
// The usual coordinate (a sign, up to eight digits, a point and up to eight more) is read eight
// characters at a time, without a branch on the number of its digits; other texts are read a
// character at a time.
inline constexpr int PaddedTextReadableBytes = 24;
Extended PaddedTextToReal(const char* text, int32_t& errorPosition);
