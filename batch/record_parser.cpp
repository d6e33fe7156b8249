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
[[gnu::always_inline]] inline void RecordScanner::StartField(char c) {
  if (record_.fieldCount == 0 && !record_.tooManyFields && c == '#') {
    record_.kind = LineKind::Comment;
    state_ = State::Comment;
    return;
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
    return;
  }
  current_->text[0] = c;
  current_->length = 1;
  state_ = State::InField;
}

const char* RecordScanner::Scan(const char* begin, const char* end, bool& lineComplete) {
  lineComplete = false;
  const char* p = begin;
  if (p == end) return p;
  touched_ = true;
  while (p != end) {
    if (state_ == State::Comment || state_ == State::Skipping) {
      const void* lineEnd = std::memchr(p, '\n', static_cast<size_t>(end - p));
      if (lineEnd == nullptr) return end;
      lineComplete = true;
      return static_cast<const char*>(lineEnd) + 1;
    }
    if (state_ == State::InField) {
      // The rest of the field in one run; characters after the 64th are passed over. Eight bytes
      // at a time while eight are left: they are copied whole while the token has room for all
      // of them, and only those before the field's end count.
      FieldToken& token = *current_;
      uint32_t length = token.length;
      bool fieldEnded = false;
      while (end - p >= 8) {
        const uint64_t word = bytemask::Load(p);
        const uint64_t stops = ~bytemask::FieldBytes(word) & bytemask::High;
        const uint32_t taken = stops == 0 ? 8 : bytemask::FirstByte(stops);
        if (length + 8 <= FieldTokenLength) {
          std::memcpy(token.text + length, &word, 8);
          length += taken;
        } else {
          for (uint32_t i = 0; i < taken && length < FieldTokenLength; ++i) token.text[length++] = p[i];
        }
        p += taken;
        if (stops != 0) {
          fieldEnded = true;
          break;
        }
      }
      // Byte by byte near the end of the piece (the byte that ended the field above is known not
      // to belong to it: looking at it again would only wait for the steps that found it).
      while (!fieldEnded && p != end && ClassOf(*p) == FieldChar) {
        if (length < FieldTokenLength) token.text[length++] = *p;
        ++p;
      }
      token.length = length;
      if (p == end) return p;
      token.text[length] = '\0';
      current_ = nullptr;
      state_ = State::BetweenFields;
    }
    // Between fields: the separator or line end that ended the field, or the next byte.
    const char c = *p++;
    const uint8_t kind = ClassOf(c);
    if (kind == FieldChar) {
      StartField(c);
    } else if (kind == LineEnd) {
      lineComplete = true;
      return p;
    }
  }
  return p;
}

bool RecordScanner::Finish() {
  if (state_ == State::InField) {
    current_->text[current_->length] = '\0';
    current_ = nullptr;
    state_ = State::BetweenFields;
  }
  return touched_;
}
