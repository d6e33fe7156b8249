// Reading characters, reals, lines and line ends from a text stream.
#include "textio/read_values.h"

#include <new>
#include <stdexcept>

#include "numconv/text_to_real.h"
#include "runtime/base/runtime_error.h"

namespace {

constexpr uint8_t LineFeed = 10;
constexpr uint8_t CarriageReturn = 13;
constexpr uint8_t EndOfFileMark = 26;  // Ctrl+Z
constexpr uint8_t LastBlank = 32;
constexpr int32_t TokenLength = 64;
constexpr int32_t ChunkLength = 255;

constexpr StreamChar EndOfFile{EndOfFileMark, true};

// The end of the valid bytes, never beyond the buffer.
uint32_t ValidEnd(const TTextStream& stream) {
  const uint32_t capacity = BufferCapacity(stream);
  return stream.bufferEnd <= capacity ? stream.bufferEnd : capacity;
}

bool EndsInput(const TTextStream& stream, uint8_t byte) {
  return byte == EndOfFileMark && (stream.flags & CrLfMode) != 0;
}

// Steps back over the character that ReadNextChar has just delivered from the buffer.
void PutBack(TTextStream& stream) {
  if (stream.bufferPos > 0) --stream.bufferPos;
}

int32_t Refill(TTextStream& stream) {
  return stream.transferOp != nullptr ? stream.transferOp(stream) : IoErrorNotOpen;
}

// Ends an out-of-memory while the line's string grows as the run-time's out-of-memory error,
// at the location after this call.
[[noreturn]] __attribute__((noinline)) void RaiseLineOutOfMemory() {
  RaiseRuntimeError(ReasonOutOfMemory, RETURN_ADDRESS());
}

}  // namespace

StreamChar ReadNextChar(TTextStream& stream) {
  if (stream.mode != ModeInput && !EnsureOpenForInput(stream)) return EndOfFile;
  bool refilled = false;
  for (;;) {
    if (stream.bufferPos < ValidEnd(stream)) {
      const auto byte = static_cast<uint8_t>(stream.inlineBuffer[stream.bufferPos]);
      if (EndsInput(stream, byte)) return EndOfFile;  // the mark stays in the buffer
      ++stream.bufferPos;
      return StreamChar{byte, false};
    }
    if (refilled) break;
    const int32_t code = Refill(stream);
    if (code != 0) {
      SetPendingIoError(code);
      return EndOfFile;
    }
    refilled = true;
  }
  // The refill brought nothing: the end of the input. In CrLfMode it is remembered as a 26 at
  // the front of the buffer, which every read reports until a line read consumes it.
  if ((stream.flags & CrLfMode) != 0) {
    stream.bufferPos = 0;
    stream.inlineBuffer[0] = static_cast<char>(EndOfFileMark);
    stream.bufferEnd = 1;
  }
  return EndOfFile;
}

bool SkipBlanks(TTextStream& stream) {
  for (;;) {
    const StreamChar c = ReadNextChar(stream);
    if (c.endOfFile) return true;
    if (c.value > LastBlank) {
      PutBack(stream);
      return false;
    }
  }
}

Extended ReadRealValue(TTextStream& stream) {
  if (SkipBlanks(stream)) return 0.0L;
  char token[TokenLength + 1];
  int32_t length = 0;
  while (length < TokenLength) {
    const StreamChar c = ReadNextChar(stream);
    if (c.endOfFile) break;
    if (c.value <= LastBlank) {
      PutBack(stream);  // the blank or CR that ends the token stays for the line skipper
      break;
    }
    token[length++] = static_cast<char>(c.value);
  }
  token[length] = '\0';
  int32_t errorPosition = 0;
  const Extended value = TextToReal(token, errorPosition);
  if (errorPosition != 0) SetPendingIoError(IoErrorInvalidNumber);
  return value;
}

int32_t ReadLineSegment(TTextStream& stream, char* destination, int32_t maximum) {
  if (stream.mode != ModeInput && !EnsureOpenForInput(stream)) return 0;
  if (maximum <= 0 || destination == nullptr) return 0;
  int32_t count = 0;
  for (;;) {
    const uint32_t end = ValidEnd(stream);
    if (stream.bufferPos < end) {
      const auto byte = static_cast<uint8_t>(stream.inlineBuffer[stream.bufferPos]);
      if (byte == LineFeed) return count;  // the LF stays in the input
      if (byte == CarriageReturn) {
        const uint32_t next = stream.bufferPos + 1;
        if (next < end && static_cast<uint8_t>(stream.inlineBuffer[next]) == LineFeed) {
          return count;  // CR LF stays for the line skipper
        }
        // A lone CR, or a CR at the end of the buffer whose LF may come with the refill, is
        // dropped.
        stream.bufferPos = next;
        continue;
      }
      ++stream.bufferPos;
      if (EndsInput(stream, byte)) return count;  // the mark is consumed
      destination[count++] = static_cast<char>(byte);
      if (count >= maximum) return count;
      continue;
    }
    // The buffer has run dry: the character reader refills it. Its character is put back and
    // treated like any byte of the buffer.
    if (ReadNextChar(stream).endOfFile) return count;
    PutBack(stream);
  }
}

void ReadShortString(TTextStream& stream, CountedText& text) {
  text.length = static_cast<uint8_t>(ReadLineSegment(stream, text.chars, ChunkLength));
}

void ReadLineToString(TTextStream& stream, std::string& variable) {
  variable.clear();
  CountedText chunk;
  bool outOfMemory = false;
  try {
    do {
      ReadShortString(stream, chunk);
      variable.append(chunk.chars, chunk.length);
    } while (chunk.length == ChunkLength);
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  } catch (const std::length_error&) {
    outOfMemory = true;
  }
  if (outOfMemory) RaiseLineOutOfMemory();
}

void SkipToNextLine(TTextStream& stream) {
  if (stream.mode != ModeInput && !EnsureOpenForInput(stream)) return;
  for (;;) {
    // Everything up to and including the next LF is consumed; a CR alone does not end a line,
    // and a 26 in CrLfMode is the end of the input, left in place.
    const uint32_t end = ValidEnd(stream);
    while (stream.bufferPos < end) {
      const auto byte = static_cast<uint8_t>(stream.inlineBuffer[stream.bufferPos]);
      if (EndsInput(stream, byte)) return;
      ++stream.bufferPos;
      if (byte == LineFeed) return;
    }
    const StreamChar c = ReadNextChar(stream);
    if (c.endOfFile || c.value == LineFeed) return;
  }
}
