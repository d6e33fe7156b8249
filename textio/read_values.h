// Reading numbers, lines and line ends from a text stream.
#pragma once

#include <cstdint>
#include <string>

#include "numconv/extended.h"
#include "textio/text_stream.h"

// A character (0..255), or EndOfFile, whose character is seen as 26.
struct StreamChar {
  uint8_t value;
  bool endOfFile;
};

StreamChar ReadNextChar(TTextStream& stream);
bool SkipBlanks(TTextStream& stream);
Extended ReadRealValue(TTextStream& stream);
int32_t ReadLineSegment(TTextStream& stream, char* destination, int32_t maximum);
void ReadShortString(TTextStream& stream, CountedText& text);
void ReadLineToString(TTextStream& stream, std::string& variable);
void SkipToNextLine(TTextStream& stream);
