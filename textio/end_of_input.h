// Whether a read would find the end of the input, for a caller that must tell a missing answer
// from an empty one.
#pragma once

#include "textio/text_stream.h"

// True when the next character read from `stream` is the end of the input (no more data, a read
// failure, or a 26 in CrLfMode); nothing is consumed either way. Opens the stream like any read.
bool AtEndOfInput(TTextStream& stream);
