// Writing strings, reals, characters and line ends to a text stream.
#include "textio/write_values.h"

#include <cstring>

#include "numconv/real_to_text.h"

namespace {

constexpr int32_t SpaceBlockLength = 64;
constexpr char SpaceBlock[SpaceBlockLength + 1] =
    "                                                                ";
static_assert(sizeof(SpaceBlock) == SpaceBlockLength + 1);

bool OpenForOutput(TTextStream& stream) {
  return stream.mode == ModeOutput || EnsureOpenForOutput(stream);
}

int32_t Transfer(TTextStream& stream) {
  return stream.transferOp != nullptr ? stream.transferOp(stream) : IoErrorNotOpen;
}

// Spaces in front of a text of `length` characters in `width`; 0 when the text fills it.
int32_t PaddingFor(int32_t width, size_t length) {
  const auto padding = static_cast<int64_t>(width) - static_cast<int64_t>(length);
  return padding > 0 ? static_cast<int32_t>(padding) : 0;
}

}  // namespace

TTextStream& WriteBlock(TTextStream& stream, const char* bytes, int32_t count) {
  if (!OpenForOutput(stream)) return stream;
  if (count < 0) count = 0;
  for (;;) {
    const uint32_t capacity = BufferCapacity(stream);
    const uint32_t used = stream.bufferPos < capacity ? stream.bufferPos : capacity;
    const uint32_t free = capacity - used;
    if (free > static_cast<uint32_t>(count)) {
      if (count > 0) std::memcpy(stream.inlineBuffer + used, bytes, static_cast<size_t>(count));
      stream.bufferPos = used + static_cast<uint32_t>(count);
      return stream;
    }
    // Fill the buffer and write it out: a full buffer is never left behind.
    if (free > 0) std::memcpy(stream.inlineBuffer + used, bytes, free);
    stream.bufferPos = capacity;
    bytes += free;
    count -= static_cast<int32_t>(free);
    const int32_t code = Transfer(stream);
    if (code != 0) {
      SetPendingIoError(code);  // the bytes not yet copied are dropped
      return stream;
    }
    if (stream.bufferPos >= capacity) return stream;  // the slot emptied nothing
  }
}

TTextStream& WritePadding(TTextStream& stream, int32_t count) {
  while (count > SpaceBlockLength) {
    WriteBlock(stream, SpaceBlock, SpaceBlockLength);
    count -= SpaceBlockLength;
    if (PeekPendingIoError() != 0) return stream;
  }
  if (count > 0) WriteBlock(stream, SpaceBlock, count);
  return stream;
}

TTextStream& WriteChar(TTextStream& stream, char character) {
  if (!OpenForOutput(stream)) return stream;
  for (;;) {
    const uint32_t capacity = BufferCapacity(stream);
    if (stream.bufferPos < capacity) {
      stream.inlineBuffer[stream.bufferPos++] = character;
      return stream;  // a character that fills the buffer leaves it for the next write
    }
    const int32_t code = Transfer(stream);
    if (code != 0) {
      SetPendingIoError(code);
      return stream;
    }
    if (stream.bufferPos >= capacity) return stream;  // the slot emptied nothing
  }
}

TTextStream& WritePaddedText(TTextStream& stream, const CountedText& text, int32_t width) {
  WritePadding(stream, PaddingFor(width, text.length));
  return WriteBlock(stream, text.chars, text.length);
}

TTextStream& WriteStringValue(TTextStream& stream, std::string_view text, int32_t width) {
  WritePadding(stream, PaddingFor(width, text.size()));
  // A string longer than a block count can hold goes out in several blocks.
  constexpr size_t LargestBlock = 0x40000000;
  const char* bytes = text.data();
  size_t left = text.size();
  do {
    const size_t piece = left < LargestBlock ? left : LargestBlock;
    WriteBlock(stream, bytes, static_cast<int32_t>(piece));
    bytes += piece;
    left -= piece;
  } while (left > 0);
  return stream;
}

TTextStream& WriteRealValue(TTextStream& stream, Extended value, int32_t width, int32_t decimals) {
  CountedText text;
  RealToText(value, width, decimals, text);
  return WritePaddedText(stream, text, width);
}

TTextStream& WriteLineEnd(TTextStream& stream) {
  static constexpr char CrLf[2] = {13, 10};
  // The stream is opened before its line-end style is looked at: the open sets CrLfMode, so a
  // line end that is the first output of the run is CR LF like every other.
  if (OpenForOutput(stream)) {
    if ((stream.flags & CrLfMode) != 0) {
      WriteBlock(stream, CrLf, 2);
    } else {
      WriteBlock(stream, CrLf + 1, 1);
    }
  }
  LineEndFlush(stream);
  return stream;
}
