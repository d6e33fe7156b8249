#include "batch/record_parser.h"

#include <cstring>

#include "batch/byte_masks.h"

namespace {

enum ByteClass : uint8_t { Plain = 0, Delimiting, Blank, LineFeed, CarriageReturn, Quote };

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// Appends `c` to a token, characters after the 64th passed over; the text stays NUL-terminated.
inline void Put(FieldToken& token, char c) {
  if (token.length < FieldTokenLength) {
    token.text[token.length++] = c;
    token.text[token.length] = '\0';
  }
}

// A run of characters from `p` on, appended to `token` (of `length` characters so far, as its
// caller knows without loading it), characters after the 64th passed over:
// up to the first byte for which `RunLength` stops, or `end`. Sixteen bytes at a time while
// sixteen are left, so that a typed number ends in the first step: while the token has room for
// all sixteen, they are stored in one piece with the run's bytes first and zeros after them, so
// that the conversion's loads of the token are served from that one store. Near the end of the
// piece, byte by byte while `stays` holds.
template <typename RunLength, typename Stays>
[[gnu::always_inline]] inline const char* TakeRun(FieldToken& token, uint32_t length, const char* p,
                                                  const char* end, RunLength runLength,
                                                  Stays stays) {
  while (end - p >= 16) {
    const uint32_t taken = runLength(p);
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
  while (p != end && stays(*p)) {
    if (length < FieldTokenLength) token.text[length++] = *p;
    ++p;
  }
  token.text[length] = '\0';
  token.length = length;
  return p;
}

}  // namespace

// A byte that begins a run of a field's characters at once: no blank, delimiter, quote, line end
// or control character.
inline bool RecordScanner::StartsARun(char c) const {
  return classes_[Byte(c)] == Plain && Byte(c) > 32;
}

const char* FieldName(FieldIndex field) {
  static const char* const names[RecordFieldCount] = {"AX", "AY", "BX", "BY", "AXIS", "K"};
  const auto index = static_cast<unsigned>(field);
  return index < RecordFieldCount ? names[index] : "?";
}

char DelimiterByte(Delimiter delimiter) {
  switch (delimiter) {
    case Delimiter::Comma:
      return ',';
    case Delimiter::Semicolon:
      return ';';
    case Delimiter::Tab:
      return '\t';
    case Delimiter::Blank:
      break;
  }
  return ' ';
}

RecordScanner::RecordScanner() {
  SetDelimiter(Delimiter::Blank);
  SetPositionalSlots();
  Restart();
}

void RecordScanner::SetDelimiter(Delimiter delimiter) {
  delimiter_ = delimiter;
  delimiterByte_ = DelimiterByte(delimiter);
  blankDelimited_ = delimiter == Delimiter::Blank;
  std::memset(classes_, Plain, sizeof classes_);
  classes_[Byte(' ')] = Blank;
  classes_[Byte('\t')] = Blank;
  if (!blankDelimited_) classes_[Byte(delimiterByte_)] = Delimiting;
  classes_[Byte('\n')] = LineFeed;
  classes_[Byte('\r')] = CarriageReturn;
  classes_[Byte('"')] = Quote;
}

void RecordScanner::ClearSlots() {
  std::memset(slots_, SkippedSlot, sizeof slots_);
  for (uint64_t& column : record_.columns) column = UINT64_MAX;
  record_.extraColumn = UINT64_MAX;
}

void RecordScanner::SetPositionalSlots() {
  ClearSlots();
  for (uint8_t i = 0; i < RecordFieldCount; ++i) SetSlot(i, i);
  SetSlot(RecordFieldCount, ExtraSlot);
}

void RecordScanner::SetSlot(uint64_t column, uint8_t slot) {
  if (column >= MappedColumns - 1) return;
  slots_[column] = slot;
  if (slot < RecordFieldCount) record_.columns[slot] = column;
  if (slot == ExtraSlot) record_.extraColumn = column;
}

void RecordScanner::Restart(uint64_t firstLine) {
  nextLine_ = firstLine;
  skipLineFeed_ = false;
  NextLine();
}

// Only what every line needs: a field's token, the extra one's too, is set when the field starts,
// and the defect's column is read only with a defect.
void RecordScanner::NextLine() {
  record_.kind = LineKind::Blank;
  record_.lineNumber = nextLine_++;
  record_.fieldCount = 0;
  record_.defect = FieldDefect::None;
  state_ = State::LineStart;
  touched_ = false;
  emptyFields_ = 0;
  quotedCarriageReturn_ = false;
}

// Inlined into the scan: it runs for every field.
[[gnu::always_inline]] inline FieldToken* RecordScanner::StartField() {
  const uint64_t column = record_.fieldCount++;
  // The last entry of the table is always "none": it stands for every column from there on.
  const uint8_t slot = slots_[column < MappedColumns ? column : MappedColumns - 1];
  if (slot < RecordFieldCount) {
    current_ = &record_.fields[slot];
  } else if (slot == ExtraSlot) {
    current_ = &record_.extra;
  } else {
    current_ = &scratch_;
  }
  current_->length = 0;
  return current_;
}

void RecordScanner::NoteDefect(FieldDefect defect) {
  if (record_.defect != FieldDefect::None) return;
  record_.defect = defect;
  record_.defectColumn = record_.fieldCount - 1;
}

void RecordScanner::PutSlow(char c) {
  if (c == '\0') NoteDefect(FieldDefect::ZeroByte);
  Put(*current_, c);
}

// The blanks around the field are cut off; its text is NUL-terminated.
// A field that may hold blanks at its ends (quoted, or with blanks inside) has them cut off, and
// its end written; any other is NUL-terminated already: a run is stored with zeros after it, in
// one store that the conversion's loads of the token are then served from.
[[gnu::always_inline]] inline void RecordScanner::CompleteField(FieldToken& token) {
  if (trimField_) {
    trimField_ = false;
    uint32_t length = token.length;
    while (length > 0 && classes_[Byte(token.text[length - 1])] == Blank) --length;
    if (length != 0 && classes_[Byte(token.text[0])] == Blank) {
      uint32_t start = 0;
      while (classes_[Byte(token.text[start])] == Blank) ++start;
      length -= start;
      std::memmove(token.text, token.text + start, length);
    }
    token.length = length;
    token.text[length] = '\0';
    if (length == 0) ++emptyFields_;
  }
  if (sink_ != nullptr) sink_(sinkContext_, record_.fieldCount - 1, token);
}

// An empty cell: a field of nothing.
inline void RecordScanner::CompleteEmptyField() {
  trimField_ = true;
  CompleteField(*current_);
}

// At the LF or CR at p: the line is complete.
inline const char* RecordScanner::EndLine(const char* p, const char* end, bool& lineComplete,
                                          const char*& contentEnd) {
  contentEnd = p;
  lineComplete = true;
  if (record_.kind != LineKind::Comment) {
    record_.kind = record_.fieldCount > emptyFields_ ? LineKind::Record : LineKind::Blank;
  }
  if (*p == '\r') {
    ++p;
    if (p == end) {
      skipLineFeed_ = true;
    } else if (*p == '\n') {
      ++p;
    }
    return p;
  }
  return p + 1;
}

// The state is written only where the scan leaves a line unfinished: between the bytes of a line
// it lives in where the loop is.
const char* RecordScanner::Scan(const char* begin, const char* end, bool& lineComplete,
                                const char*& contentEnd) {
  lineComplete = false;
  const char* p = PassLineFeed(begin, end);
  if (p == end) return p;
  touched_ = true;
  const char delimiter = delimiterByte_;
  bytemask::Bytes16 delimiters;
  std::memset(&delimiters, delimiter, sizeof delimiters);
  const auto runLength = [&delimiters](const char* q) {
    return bytemask::FieldRunLength(q, delimiters);
  };
  const auto inRun = [this](char c) { return classes_[Byte(c)] == Plain && Byte(c) > 32; };
  const auto quotedRunLength = [](const char* q) { return bytemask::QuotedRunLength(q); };
  const auto inQuotes = [](char c) { return c != '"' && c != '\r' && c != '\n' && c != '\0'; };
  // Passes over blanks: the class of the byte after them, or -1 when the piece ended in them
  // (the state to go on in is then saved).
  const auto skipBlanks = [&](State here) -> int {
    uint8_t kind;
    while ((kind = classes_[Byte(*p)]) == Blank) {
      if (++p == end) {
        state_ = here;
        return -1;
      }
    }
    return kind;
  };
  State state = state_;
  for (;;) {
    switch (state) {
      case State::LineStart: {
        const int kind = skipBlanks(State::LineStart);
        if (kind < 0) return p;
        if (kind == LineFeed || kind == CarriageReturn)
          return EndLine(p, end, lineComplete, contentEnd);
        if (*p == '#') {
          record_.kind = LineKind::Comment;
          state = State::Comment;
          break;
        }
        if (StartsARun(*p)) {
          StartField();
          state = State::Unquoted;
          break;
        }
        state = State::FieldBegin;
        break;
      }
      case State::FieldBegin: {
        const int kind = skipBlanks(State::FieldBegin);
        if (kind < 0) return p;
        StartField();
        if (kind == Quote) {
          ++p;
          trimField_ = true;  // blanks inside the quotes are cut off too
          state = State::Quoted;
        } else if (kind == Delimiting) {
          CompleteEmptyField();
          ++p;
        } else if (kind == LineFeed || kind == CarriageReturn) {
          CompleteEmptyField();  // the last cell
          return EndLine(p, end, lineComplete, contentEnd);
        } else {
          state = State::Unquoted;
        }
        if (p == end) {
          state_ = state;
          return p;
        }
        break;
      }
      case State::Unquoted: {
        // The usual line goes round this loop alone: a run of a field's characters, the
        // delimiter, and the next field's first character right after it.
        FieldToken* token = current_;
        uint32_t length = token->length;
        for (;;) {
          p = TakeRun(*token, length, p, end, runLength, inRun);
          if (p == end) {
            state_ = State::Unquoted;
            return p;
          }
          const uint8_t kind = classes_[Byte(*p)];
          if (kind == Delimiting) {
            CompleteField(*token);
            ++p;
            if (p != end && StartsARun(*p)) {
              token = StartField();
              length = 0;
              continue;
            }
            state = State::FieldBegin;
            break;
          }
          if (kind == LineFeed || kind == CarriageReturn) {
            CompleteField(*token);
            return EndLine(p, end, lineComplete, contentEnd);
          }
          if (kind == Blank && blankDelimited_) {
            CompleteField(*token);
            ++p;
            while (p != end && classes_[Byte(*p)] == Blank) ++p;
            if (p != end && StartsARun(*p)) {
              token = StartField();
              length = 0;
              continue;
            }
            state = State::BetweenFields;
            break;
          }
          // A blank that may be inside the field (cut off at its end), a quote or a control
          // character: part of the field.
          if (kind == Blank) trimField_ = true;
          PutSlow(*p);  // into the current token
          length = token->length;
          if (++p == end) {
            state_ = State::Unquoted;
            return p;
          }
        }
        if (p == end) {
          state_ = state;
          return p;
        }
        break;
      }
      case State::Quoted: {
        const char* const runStart = p;
        p = TakeRun(*current_, current_->length, p, end, quotedRunLength, inQuotes);
        if (p != runStart) quotedCarriageReturn_ = false;
        if (p == end) {
          state_ = State::Quoted;
          return p;
        }
        if (*p == '"') {
          state = State::QuoteSeen;
        } else if (*p == '\r' || *p == '\n') {
          // A line end inside the quotes belongs to the field; CR LF counts as one line.
          if (*p == '\r' || !quotedCarriageReturn_) ++nextLine_;
          quotedCarriageReturn_ = *p == '\r';
          Put(*current_, *p);
        } else {
          quotedCarriageReturn_ = false;
          PutSlow(*p);
        }
        if (++p == end) {
          state_ = state;
          return p;
        }
        break;
      }
      case State::QuoteSeen:
        quotedCarriageReturn_ = false;
        if (*p == '"') {
          Put(*current_, '"');
          state = State::Quoted;
          if (++p == end) {
            state_ = state;
            return p;
          }
        } else {
          state = State::AfterQuoted;
        }
        break;
      case State::AfterQuoted: {
        const uint8_t kind = classes_[Byte(*p)];
        if (kind == Delimiting) {
          CompleteField(*current_);
          ++p;
          state = State::FieldBegin;
        } else if (kind == LineFeed || kind == CarriageReturn) {
          CompleteField(*current_);
          return EndLine(p, end, lineComplete, contentEnd);
        } else if (kind == Blank) {
          if (blankDelimited_) {
            CompleteField(*current_);
            state = State::BetweenFields;
          }
          ++p;
        } else {
          // Text after the closing quote: the field goes on without quotes, and is broken.
          NoteDefect(FieldDefect::TextAfterClosingQuote);
          state = State::Unquoted;
        }
        if (p == end) {
          state_ = state;
          return p;
        }
        break;
      }
      case State::BetweenFields: {
        const int kind = skipBlanks(State::BetweenFields);
        if (kind < 0) return p;
        if (kind == LineFeed || kind == CarriageReturn)
          return EndLine(p, end, lineComplete, contentEnd);
        state = State::FieldBegin;
        break;
      }
      case State::Comment:
        while (*p != '\n' && *p != '\r') {
          if (++p == end) {
            state_ = State::Comment;
            return p;
          }
        }
        return EndLine(p, end, lineComplete, contentEnd);
    }
  }
}

bool RecordScanner::Finish() {
  switch (state_) {
    case State::Quoted:
      NoteDefect(FieldDefect::NotClosed);
      CompleteField(*current_);
      break;
    case State::FieldBegin:
      // After a delimiter: an empty last cell (with blanks, a field has begun at a character).
      if (!blankDelimited_) {
        StartField();
        CompleteEmptyField();
      }
      break;
    case State::Unquoted:
    case State::QuoteSeen:
    case State::AfterQuoted:
      CompleteField(*current_);
      break;
    case State::LineStart:
    case State::BetweenFields:
    case State::Comment:
      break;
  }
  if (record_.kind != LineKind::Comment) {
    record_.kind = record_.fieldCount > emptyFields_ ? LineKind::Record : LineKind::Blank;
  }
  state_ = State::LineStart;
  return touched_;
}
