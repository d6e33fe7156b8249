// A field of the table that --table writes, quoted where RFC 4180 needs it (the delimiter, a
// quote, a line end) and where framecalc-batch would not read it back as it is: blanks around it,
// and, with blanks as the delimiter, blanks inside it or nothing at all.
#pragma once

#include <cstddef>

#include "batch/output_buffer.h"

void AppendTableField(OutputBuffer& out, const char* data, size_t size, char delimiter);
