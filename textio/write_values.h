// Writing strings, reals, characters and line ends to a text stream. Every operation hands the
// stream back, so that the pieces of one statement are written one after another.
#pragma once

#include <cstdint>
#include <string_view>

#include "numconv/extended.h"
#include "textio/text_stream.h"

TTextStream& WriteBlock(TTextStream& stream, const char* bytes, int32_t count);
TTextStream& WritePadding(TTextStream& stream, int32_t count);
TTextStream& WriteChar(TTextStream& stream, char character);
TTextStream& WritePaddedText(TTextStream& stream, const CountedText& text, int32_t width);
TTextStream& WriteStringValue(TTextStream& stream, std::string_view text, int32_t width);
TTextStream& WriteRealValue(TTextStream& stream, Extended value, int32_t width, int32_t decimals);
TTextStream& WriteLineEnd(TTextStream& stream);
