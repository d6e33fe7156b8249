#include "batch/record_parser.h"

#include <array>
#include <cstring>

#include "batch/byte_masks.h"

namespace {

enum ByteClass : uint8_t { Separator = 0, FieldChar = 1, LineEnd = 2 };

constexpr std::array<uint8_t, 256> MakeByteClasses() {
  std::array<uint8_t, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    classes[c] = c > 32 && c != ',' && c != ';' ? FieldChar : Separator;
  }
  classes['\n'] = LineEnd;
  return classes;
}

constexpr std::array<uint8_t, 256> ByteClasses = MakeByteClasses();

inline uint8_t ClassOf(char c) { return ByteClasses[static_cast<unsigned char>(c)]; }

// The rest of a line that is passed over (a comment, or the fields after the seventh).
const char* SkipToLineEnd(const char* p, const char* end, bool& lineComplete) {
  const void* lineEnd = std::memchr(p, '\n', static_cast<size_t>(end - p));
  if (lineEnd == nullptr) return end;
  lineComplete = true;
  return static_cast<const char*>(lineEnd) + 1;
}

// A field's characters from `p` on, appended to `token`, characters after the 64th passed over.
// Returns the byte that ended the field (a separator or LF, left for the caller), or `end` when
// the field may go on in the next piece (the token is then not yet NUL-terminated). Sixteen bytes
// at a time while sixteen are left, so that a typed number ends in the first step: while the
// token has room for all sixteen, they are stored in one piece with the field's bytes first and
// zeros after them, the terminating NUL included, so that the conversion's loads of the token
// are served from that one store.
[[gnu::always_inline]] inline const char* TakeFieldCharacters(FieldToken& token, const char* p,
                                                              const char* end) {
  uint32_t length = token.length;
  while (end - p >= 16) {
    const uint32_t taken = bytemask::FieldRunLength(p);
    if (length + 16 <= FieldTokenLength) {
      bytemask::CopyRunWithZeros(p, taken, token.text + length);
      length += taken;
    } else {
      for (uint32_t i = 0; i < taken && length < FieldTokenLength; ++i) token.text[length++] = p[i];
      token.text[length] = '\0';
    }
    p += taken;
    if (taken < 16) {
      token.length = length;
      return p;
    }
  }
  // Byte by byte near the end of the piece.
  while (p != end && ClassOf(*p) == FieldChar) {
    if (length < FieldTokenLength) token.text[length++] = *p;
    ++p;
  }
  token.length = length;
  if (p != end) token.text[length] = '\0';
  return p;
}

}  // namespace

const char* FieldName(FieldIndex field) {
  static const char* const names[RecordFieldCount] = {"AX", "AY", "BX", "BY", "AXIS", "K"};
  const auto index = static_cast<unsigned>(field);
  return index < RecordFieldCount ? names[index] : "?";
}

void RecordScanner::Restart() {
  nextLine_ = 1;
  NextLine();
}

void RecordScanner::NextLine() {
  record_.kind = LineKind::Blank;
  record_.lineNumber = nextLine_++;
  record_.fieldCount = 0;
  record_.tooManyFields = false;
  record_.extra.length = 0;
  record_.extra.text[0] = '\0';
  state_ = State::BetweenFields;
  touched_ = false;
  current_ = nullptr;
}

// Inlined into the scan: it runs for every field.
[[gnu::always_inline]] inline bool RecordScanner::StartField(char c) {
  if (record_.fieldCount == 0 && !record_.tooManyFields && c == '#') {
    record_.kind = LineKind::Comment;
    state_ = State::Comment;
    return false;
  }
  record_.kind = LineKind::Record;
  if (record_.fieldCount < RecordFieldCount) {
    current_ = &record_.fields[record_.fieldCount++];
  } else if (!record_.tooManyFields) {
    // The first field too many is kept for the report; nothing after it matters.
    record_.tooManyFields = true;
    current_ = &record_.extra;
  } else {
    state_ = State::Skipping;
    current_ = nullptr;
    return false;
  }
  current_->length = 0;
  return true;
}

// The state is written only where the scan leaves a line unfinished: between the bytes of a line
// it lives in where the loop is.
const char* RecordScanner::Scan(const char* begin, const char* end, bool& lineComplete) {
  lineComplete = false;
  const char* p = begin;
  if (p == end) return p;
  touched_ = true;
  if (state_ == State::Comment || state_ == State::Skipping) return SkipToLineEnd(p, end, lineComplete);
  if (state_ == State::InField) {
    p = TakeFieldCharacters(*current_, p, end);
    if (p == end) return p;
  }
  // Between fields: p at a separator, a LF or the first character of a field.
  for (;;) {
    uint8_t kind;
    while ((kind = ClassOf(*p)) == Separator) {
      if (++p == end) {
        state_ = State::BetweenFields;
        return p;
      }
    }
    if (kind == LineEnd) {
      lineComplete = true;
      return p + 1;
    }
    if (!StartField(*p)) return SkipToLineEnd(p + 1, end, lineComplete);
    p = TakeFieldCharacters(*current_, p, end);
    if (p == end) {
      state_ = State::InField;
      return p;
    }
  }
}

bool RecordScanner::Finish() {
  if (state_ == State::InField) {
    current_->text[current_->length] = '\0';
    current_ = nullptr;
    state_ = State::BetweenFields;
  }
  return touched_;
}
