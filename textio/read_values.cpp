// Reading characters, reals, lines and line ends from a text stream.
#include "textio/read_values.h"

#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "numconv/text_to_real.h"
#include "baseruntime/runtime_error.h"

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

inline uint64_t LoadEight(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, 8);
  return word;
}

constexpr uint64_t EachByte(uint8_t value) { return UINT64_C(0x0101010101010101) * value; }

// True when none of the eight bytes is above 32. Adding 95 to the low seven bits of a byte sets its
// top bit exactly when those bits exceed 32 (and cannot carry into the next byte); a byte whose
// own top bit is set is above 32 anyway.
inline bool EightBlanks(uint64_t word) {
  return ((((word & EachByte(0x7F)) + EachByte(127 - LastBlank)) | word) & EachByte(0x80)) == 0;
}

// True when one of the eight bytes is `value`. A byte of word ^ value...value is zero exactly
// there, and a zero byte is the one whose top bit stays clear after adding 127 to its low seven
// bits (no carry crosses into the next byte, so there are no false answers).
inline bool HasByte(uint64_t word, uint8_t value) {
  const uint64_t x = word ^ EachByte(value);
  return ((((x & EachByte(0x7F)) + EachByte(0x7F)) | x) & EachByte(0x80)) != EachByte(0x80);
}

// EightBlanks, and none of them is the 26 that ends the input in CrLfMode.
inline bool EightBlanksWithoutMark(uint64_t word) {
  return EightBlanks(word) && !HasByte(word, EndOfFileMark);
}

int32_t Refill(TTextStream& stream) {
  return stream.transferOp != nullptr ? stream.transferOp(stream) : IoErrorNotOpen;
}

// Ends an out-of-memory while the line's string grows as the run-time's out-of-memory error,
// at the location after this call.
[[noreturn]] __attribute__((noinline)) void RaiseLineOutOfMemory() {
  RaiseRuntimeError(ReasonOutOfMemory, RETURN_ADDRESS());
}

// The rest of a line longer than one segment. The pieces are kept apart until the end of the line
// is known, each about 1/32 of what came before, and the string is then made once at its full
// length, each piece released as soon as it has been copied: at no time is much more than the
// line's own length held (growing one string would hold the old and the new copy at once).
void ReadLongLine(TTextStream& stream, const CountedText& first, std::string& variable) {
  constexpr size_t SmallestPiece = size_t{256} * 1024;
  constexpr size_t LargestPiece = size_t{1} << 30;  // a segment's count is a 32-bit value
  struct Piece {
    std::unique_ptr<char[]> bytes;
    size_t length;
  };
  std::vector<Piece> pieces;
  size_t total = first.length;
  for (;;) {
    size_t size = total / 32;
    size = size < SmallestPiece ? SmallestPiece : size > LargestPiece ? LargestPiece : size;
    Piece piece{std::unique_ptr<char[]>(new char[size]), 0};
    piece.length =
        static_cast<size_t>(ReadLineSegment(stream, piece.bytes.get(), static_cast<int32_t>(size)));
    total += piece.length;
    const bool full = piece.length == size;
    pieces.push_back(std::move(piece));
    if (!full) break;
  }
  variable.reserve(total);
  variable.append(first.chars, first.length);
  for (Piece& piece : pieces) {
    variable.append(piece.bytes.get(), piece.length);
    piece.bytes.reset();
  }
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
    // The blanks in the buffer are passed over here, eight at a time while eight remain; the
    // character reader is asked only when the buffer has run dry (it refills it, or reports the
    // end of the input).
    if (stream.mode == ModeInput) {
      const auto* const bytes = reinterpret_cast<const uint8_t*>(stream.inlineBuffer);
      const uint32_t end = ValidEnd(stream);
      uint32_t pos = stream.bufferPos;
      if ((stream.flags & CrLfMode) != 0) {
        while (pos + 8 <= end && EightBlanksWithoutMark(LoadEight(bytes + pos))) pos += 8;
        while (pos < end && bytes[pos] <= LastBlank && bytes[pos] != EndOfFileMark) ++pos;
      } else {
        while (pos + 8 <= end && EightBlanks(LoadEight(bytes + pos))) pos += 8;
        while (pos < end && bytes[pos] <= LastBlank) ++pos;
      }
      if (pos < end) {
        stream.bufferPos = pos;
        return bytes[pos] <= LastBlank;  // a 26 that ends the input, left in place
      }
      if (pos > stream.bufferPos) stream.bufferPos = pos;
    }
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
  // Bytes that need a second look: LF, CR and the 26 that may end the input.
  constexpr uint32_t SpecialBytes =
      (1u << LineFeed) | (1u << CarriageReturn) | (1u << EndOfFileMark);
  const auto* const bytes = reinterpret_cast<const uint8_t*>(stream.inlineBuffer);
  int32_t count = 0;
  for (;;) {
    const uint32_t end = ValidEnd(stream);
    const bool crLf = (stream.flags & CrLfMode) != 0;
    uint32_t pos = stream.bufferPos;
    while (pos < end) {
      // Eight ordinary bytes at a time, while they fit in the destination.
      while (pos + 8 <= end && maximum - count >= 8) {
        const uint64_t word = LoadEight(bytes + pos);
        if (HasByte(word, LineFeed) || HasByte(word, CarriageReturn) ||
            (crLf && HasByte(word, EndOfFileMark))) {
          break;
        }
        std::memcpy(destination + count, &word, 8);
        pos += 8;
        count += 8;
      }
      if (count >= maximum) {
        stream.bufferPos = pos;
        return count;
      }
      if (pos >= end) break;
      const uint8_t byte = bytes[pos];
      if (byte < 32 && ((SpecialBytes >> byte) & 1u) != 0) {
        if (byte == LineFeed) {
          stream.bufferPos = pos;
          return count;  // the LF stays in the input
        }
        if (byte == CarriageReturn) {
          const uint32_t next = pos + 1;
          if (next < end && bytes[next] == LineFeed) {
            stream.bufferPos = pos;
            return count;  // CR LF stays for the line skipper
          }
          // A lone CR, or a CR at the end of the buffer whose LF may come with the refill, is
          // dropped.
          pos = next;
          continue;
        }
        if (EndsInput(stream, byte)) {
          stream.bufferPos = pos + 1;
          return count;  // the mark is consumed
        }
      }
      ++pos;
      destination[count++] = static_cast<char>(byte);
      if (count >= maximum) {
        stream.bufferPos = pos;
        return count;
      }
    }
    if (pos > stream.bufferPos) stream.bufferPos = pos;
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
    ReadShortString(stream, chunk);
    if (chunk.length < ChunkLength) {
      variable.assign(chunk.chars, chunk.length);  // the usual short answer
    } else {
      ReadLongLine(stream, chunk, variable);
    }
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  } catch (const std::length_error&) {
    outOfMemory = true;
  }
  if (outOfMemory) RaiseLineOutOfMemory();
}

void SkipToNextLine(TTextStream& stream) {
  if (stream.mode != ModeInput && !EnsureOpenForInput(stream)) return;
  const auto* const bytes = reinterpret_cast<const uint8_t*>(stream.inlineBuffer);
  for (;;) {
    // Everything up to and including the next LF is consumed; a CR alone does not end a line,
    // and a 26 in CrLfMode is the end of the input, left in place.
    const uint32_t end = ValidEnd(stream);
    uint32_t pos = stream.bufferPos;
    if ((stream.flags & CrLfMode) != 0) {
      while (pos + 8 <= end) {
        const uint64_t word = LoadEight(bytes + pos);
        if (HasByte(word, LineFeed) || HasByte(word, EndOfFileMark)) break;
        pos += 8;
      }
      while (pos < end) {
        const uint8_t byte = bytes[pos];
        if (byte == EndOfFileMark) {
          stream.bufferPos = pos;
          return;
        }
        ++pos;
        if (byte == LineFeed) {
          stream.bufferPos = pos;
          return;
        }
      }
    } else if (pos < end) {
      const void* const lineEnd = std::memchr(bytes + pos, LineFeed, end - pos);
      if (lineEnd != nullptr) {
        stream.bufferPos = static_cast<uint32_t>(static_cast<const uint8_t*>(lineEnd) - bytes) + 1;
        return;
      }
      pos = end;
    }
    if (pos > stream.bufferPos) stream.bufferPos = pos;
    const StreamChar c = ReadNextChar(stream);
    if (c.endOfFile || c.value == LineFeed) return;
  }
}
