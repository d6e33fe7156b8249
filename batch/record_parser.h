// Splitting the input of framecalc-batch into records: one line, its fields split at one
// delimiter.
//
// A line ends at LF, CR LF or a lone CR. The delimiter is ",", ";", tab, or blanks (a run of
// blanks and tabs). Fields follow RFC 4180: a field that starts with a double quote runs to the
// closing quote and may hold the delimiter, line ends, and "" for one quote; a quote inside an
// unquoted field is an ordinary character. Blanks around a field (blanks and tabs; blanks only
// when tab is the delimiter) are not part of it, also inside its quotes. With ",", ";" or tab an
// empty cell is a field of its own; with blanks, runs of blanks never make an empty field.
//
// A line whose first character after blanks is "#" is a comment; a line whose fields are all
// empty (nothing, blanks, or delimiters only, as spreadsheets write an empty row) is blank.
//
// Which fields are kept is said by a table from column (0-based) to slot: the six fields of a
// record, the one extra field reported by "Too many fields", or none. Of every kept field the
// first 64 characters are kept: the token that the calculator would read as the number, the rest
// of a longer field is dropped as the calculator drops the rest of its line. Lines of any length
// are scanned in place, without copying them whole and without allocating.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int RecordFieldCount = 6;
inline constexpr uint32_t FieldTokenLength = 64;

// The fields in the order of a record, which is also the order of the calculator's questions.
enum class FieldIndex : uint8_t { AX = 0, AY = 1, BX = 2, BY = 3, Axis = 4, K = 5 };

// "AX", "AY", "BX", "BY", "AXIS", "K".
const char* FieldName(FieldIndex field);

// Aligned so that the sixteen-byte stores of a run never cross a cache line: a conversion's loads
// of the token are then served from those stores.
struct alignas(16) FieldToken {
  char text[FieldTokenLength + 1];  // NUL-terminated
  uint32_t length;                  // characters kept (at most 64)
};

enum class Delimiter : uint8_t { Comma, Semicolon, Tab, Blank };

// The blanks that are never part of a field's ends: blank and tab.
inline bool IsBlankCharacter(char c) { return c == ' ' || c == '\t'; }

// ",", ";", "\t" or " ": the byte that separates fields (the one written between them).
char DelimiterByte(Delimiter delimiter);

enum class LineKind : uint8_t { Blank, Comment, Record };

// What makes a field unreadable whatever its column: its quotes, or a zero byte (binary data, or
// UTF-16 text past the first line).
enum class FieldDefect : uint8_t {
  None,
  TextAfterClosingQuote,  // "100"5
  NotClosed,              // the input ended inside a quoted field
  ZeroByte,
};

// Where a column's field goes: a slot of the record (0 to 5, the FieldIndex), ExtraSlot, or none.
inline constexpr uint8_t ExtraSlot = RecordFieldCount;
inline constexpr uint8_t SkippedSlot = RecordFieldCount + 1;
// Columns from this one on are never kept.
inline constexpr uint32_t MappedColumns = 1024;

struct Record {
  LineKind kind;
  uint64_t lineNumber;                 // 1-based: the line where the record starts
  uint64_t fieldCount;                 // fields on the line, kept or not
  uint64_t columns[RecordFieldCount];  // the column of each slot (set with the slots)
  uint64_t extraColumn;                // the column of the field in `extra`
  FieldDefect defect;                  // the first defect of a field on the line
  uint64_t defectColumn;
  FieldToken fields[RecordFieldCount];
  FieldToken extra;
};

// Whether the line held slot `slot` (0 to 5), or the field too many (ExtraSlot).
inline bool HasField(const Record& record, int slot) {
  return slot == ExtraSlot ? record.fieldCount > record.extraColumn
                           : record.columns[slot] < record.fieldCount;
}

// Receives every completed field of a line while the scanner captures (the header's survey).
using FieldSink = void (*)(void* context, uint64_t column, const FieldToken& field);

// Scans bytes into one Record at a time. Feed the input in pieces of any size; a record is
// complete when Scan reports it (at a line end) or when Finish does (a last line without one).
class RecordScanner {
 public:
  RecordScanner();

  // Starts a new input: line `firstLine`, nothing pending; the delimiter and slots stay.
  void Restart(uint64_t firstLine = 1);

  void SetDelimiter(Delimiter delimiter);
  Delimiter delimiter() const { return delimiter_; }

  // Columns 0 to 5 to the slots 0 to 5, column 6 to ExtraSlot, the rest to none.
  void SetPositionalSlots();
  // Column `column` to `slot`; columns at or past MappedColumns are never kept.
  void SetSlot(uint64_t column, uint8_t slot);
  void ClearSlots();  // every column to none

  // While set, `sink` receives every field of the lines scanned (null: none).
  void CaptureFields(FieldSink sink, void* context) {
    sink_ = sink;
    sinkContext_ = context;
  }

  // Lines passed over before the scan takes over (a prelude that was read elsewhere).
  void SkipLines(uint64_t count) {
    nextLine_ += count;
    record_.lineNumber += count;
  }
  // A LF at `p` that completes the CR LF of the line before is passed over (Scan does the same):
  // the position after it.
  const char* PassLineFeed(const char* p, const char* end) {
    if (p != end && skipLineFeed_) {
      skipLineFeed_ = false;
      if (*p == '\n') ++p;
    }
    return p;
  }

  // Scans from `begin` up to `end` or to the end of the current line, whichever comes first.
  // Returns the position after the bytes consumed; `lineComplete` tells whether the line ended,
  // and then `contentEnd` is where its line end began (the bytes before it are the line's text).
  const char* Scan(const char* begin, const char* end, bool& lineComplete, const char*& contentEnd);

  // At the end of the input: true when a last line without line end holds anything to report.
  bool Finish();

  // The line just completed (valid after Scan or Finish reported it, until NextLine).
  const Record& record() const { return record_; }

  // Forgets the completed line and starts the next one.
  void NextLine();

 private:
  enum class State : uint8_t {
    LineStart,      // nothing but blanks yet
    FieldBegin,     // after a delimiter: blanks, then a field
    Unquoted,       // in a field without quotes
    Quoted,         // between a field's quotes
    QuoteSeen,      // a quote inside quotes: the closing one, or the first of ""
    AfterQuoted,    // after the closing quote: blanks, then a delimiter or the line end
    BetweenFields,  // blanks between the fields of a line delimited by blanks
    Comment,
  };

  bool StartsARun(char c) const;
  FieldToken* StartField();
  void CompleteField(FieldToken& token);
  void CompleteEmptyField();
  void NoteDefect(FieldDefect defect);
  // Appends a byte that the fast runs stop at (a blank inside the field, a quote, a control
  // character, a line end inside quotes).
  void PutSlow(char c);
  const char* EndLine(const char* p, const char* end, bool& lineComplete, const char*& contentEnd);

  Record record_{};       // zeroed once: every byte of a token is defined, also past its NUL
  FieldToken scratch_{};  // the field of a column that is not kept
  FieldToken* current_ = &scratch_;
  State state_ = State::LineStart;
  Delimiter delimiter_ = Delimiter::Blank;
  char delimiterByte_ = ' ';
  bool blankDelimited_ = true;
  bool skipLineFeed_ = false;
  bool quotedCarriageReturn_ = false;  // the last byte inside quotes was a CR
  bool touched_ = false;               // any byte of the current line seen (for Finish)
  bool trimField_ = false;             // the field may hold blanks at its ends (quoted, or blanks)
  uint64_t emptyFields_ = 0;           // fields of the line that hold nothing
  uint64_t nextLine_ = 1;
  FieldSink sink_ = nullptr;
  void* sinkContext_ = nullptr;
  uint8_t classes_[256];
  uint8_t slots_[MappedColumns];
};
