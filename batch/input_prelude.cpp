#include "batch/input_prelude.h"

#include <cstring>

namespace {

// A character of a blank line: blanks and the delimiters (a spreadsheet's empty row).
bool IsEmptyRowCharacter(char c) { return IsBlankCharacter(c) || c == ',' || c == ';'; }

}  // namespace

void InputPrelude::Restart() {
  length_ = contentLength_ = 0;
  atInputStart_ = true;
  bomLength_ = 0;
  skipLineFeed_ = complete_ = byteOrderMarkSkipped_ = handedBack_ = false;
  StartLine();
}

void InputPrelude::StartLine() {
  inQuotes_ = significant_ = comment_ = inLongComment_ = inLongBlank_ = false;
  onlyBlanks_ = true;
}

InputPrelude::Outcome InputPrelude::Take(const char*& p, const char* end) {
  if (handedBack_) {
    handedBack_ = false;
    length_ = contentLength_ = 0;
    if (complete_) StartLine();
    complete_ = false;
  }
  if (p != end && skipLineFeed_) {
    skipLineFeed_ = false;
    if (*p == '\n') ++p;
  }
  while (p != end) {
    const char c = *p;
    if (!inQuotes_ && (c == '\n' || c == '\r')) {
      held_[length_++] = c;
      contentLength_ = length_ - 1;
      ++p;
      if (c == '\r') {
        if (p == end) {
          skipLineFeed_ = true;
        } else if (*p == '\n') {
          held_[length_++] = '\n';  // the buffer keeps a byte for it
          ++p;
        }
      }
      // A first line hands its CR to the scanner, which then looks for the LF itself.
      const Outcome outcome = Complete(true);
      if (outcome == Outcome::FirstLine) skipLineFeed_ = false;
      return outcome;
    }
    if (atInputStart_ && length_ < 3 && static_cast<size_t>(bomLength_) == length_ &&
        c == Utf8ByteOrderMark[length_]) {
      ++bomLength_;  // a byte of the UTF-8 byte-order mark, nothing of the line yet
    } else if (!comment_) {
      if (c == '"') {
        // Quotes alone hold nothing: "" is an empty cell.
        inQuotes_ = !inQuotes_;
      } else if (inQuotes_ ? !IsBlankCharacter(c) : !IsEmptyRowCharacter(c)) {
        if (c == '#' && !inQuotes_ && onlyBlanks_) {
          comment_ = true;
        } else {
          significant_ = true;
          // The part of the line before it was handed back as blank: its fields cannot be told.
          if (inLongBlank_) return Outcome::LongLineStart;
        }
      }
      onlyBlanks_ = onlyBlanks_ && IsBlankCharacter(c);
    }
    held_[length_++] = c;
    ++p;
    if (length_ == Capacity) {
      contentLength_ = length_;
      return Complete(false);
    }
  }
  return Outcome::NeedMore;
}

InputPrelude::Outcome InputPrelude::Finish() {
  if (handedBack_ && complete_) return Outcome::NeedMore;
  if (handedBack_) {
    handedBack_ = false;
    length_ = contentLength_ = 0;
  }
  if (length_ == 0) {
    if (!inLongComment_ && !inLongBlank_) return Outcome::NeedMore;
    // A long comment or blank line, handed back in parts, ends with the input: its end.
    inLongComment_ = inLongBlank_ = false;
    handedBack_ = complete_ = true;
    return Outcome::PassedLine;
  }
  contentLength_ = length_;
  return Complete(true);
}

InputPrelude::Outcome InputPrelude::Complete(bool lineEnded) {
  handedBack_ = true;
  complete_ = lineEnded;
  if (atInputStart_) {
    if (length_ >= 2 && ((static_cast<unsigned char>(held_[0]) == 0xFF &&
                          static_cast<unsigned char>(held_[1]) == 0xFE) ||
                         (static_cast<unsigned char>(held_[0]) == 0xFE &&
                          static_cast<unsigned char>(held_[1]) == 0xFF))) {
      return Outcome::Utf16;
    }
    if (length_ >= 3 && std::memcmp(held_, Utf8ByteOrderMark, 3) == 0) {
      std::memmove(held_, held_ + 3, length_ - 3);
      length_ -= 3;
      contentLength_ -= 3;
      byteOrderMarkSkipped_ = true;
    }
    atInputStart_ = false;
    bomLength_ = 0;
  }
  if (std::memchr(held_, '\0', length_) != nullptr) return Outcome::Utf16;
  if (comment_ || !significant_) {
    // A comment or a blank line; one that fills the buffer goes back in parts.
    if (comment_) inLongComment_ = !lineEnded;
    if (!comment_) inLongBlank_ = !lineEnded;
    length_ = contentLength_;
    return Outcome::PassedLine;
  }
  return Outcome::FirstLine;
}

Delimiter InputPrelude::DetectDelimiter(bool decimalComma) const {
  bool tab = false, semicolon = false, comma = false, quoted = false;
  for (size_t i = 0; i < length_; ++i) {
    const char c = held_[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    tab = tab || c == '\t';
    semicolon = semicolon || c == ';';
    comma = comma || c == ',';
  }
  if (tab) return Delimiter::Tab;
  if (semicolon) return Delimiter::Semicolon;
  if (comma && !decimalComma) return Delimiter::Comma;
  return Delimiter::Blank;
}
