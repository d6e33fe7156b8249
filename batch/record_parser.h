// Splitting the input of framecalc-batch into records: one line, six fields.
//
// A line ends at LF. Fields are runs of characters above code 32 other than "," and ";"; any run
// of bytes 0..32 (blank, tab, CR, other control characters), commas and semicolons separates
// them, so a separator run never makes an empty field. A line without fields is blank; a line
// whose first field starts with "#" is a comment. Of every field the first 64 characters are
// kept: the token that the calculator would read as the number, the rest of a longer field is
// dropped as the calculator drops the rest of its line. Lines of any length are scanned in
// place, without copying them whole and without allocating.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int RecordFieldCount = 6;
inline constexpr uint32_t FieldTokenLength = 64;

// The fields in the order of a record, which is also the order of the calculator's questions.
enum class FieldIndex : uint8_t { AX = 0, AY = 1, BX = 2, BY = 3, Axis = 4, K = 5 };

// "AX", "AY", "BX", "BY", "AXIS", "K".
const char* FieldName(FieldIndex field);

struct FieldToken {
  char text[FieldTokenLength + 1];  // NUL-terminated
  uint32_t length;                  // characters kept (at most 64)
};

enum class LineKind : uint8_t { Blank, Comment, Record };

struct Record {
  LineKind kind;
  uint64_t lineNumber;  // 1-based, counted by LF
  int fieldCount;       // fields kept, at most RecordFieldCount
  bool tooManyFields;   // a seventh field was found (its token is in `extra`)
  FieldToken fields[RecordFieldCount];
  FieldToken extra;
};

// Scans bytes into one Record at a time. Feed the input in pieces of any size; a record is
// complete when Scan reports it (at a LF) or when Finish does (a last line without LF).
class RecordScanner {
 public:
  RecordScanner() { Restart(); }

  // Starts a new input: line 1, nothing pending.
  void Restart();

  // Scans from `begin` up to `end` or to the first LF, whichever comes first. Returns the
  // position after the bytes consumed; `lineComplete` tells whether that was a LF.
  const char* Scan(const char* begin, const char* end, bool& lineComplete);

  // At the end of the input: true when a last line without LF holds anything to report.
  bool Finish();

  // The line just completed (valid after Scan or Finish reported it, until NextLine).
  const Record& record() const { return record_; }

  // Forgets the completed line and starts the next one.
  void NextLine();

 private:
  enum class State : uint8_t { BetweenFields, InField, Comment, Skipping };

  // Starts the field whose first character is c: true with current_ its empty token, false when
  // the rest of the line is passed over (a comment, a field after the seventh).
  bool StartField(char c);

  Record record_{};  // zeroed once: every byte of a token is defined, also past its NUL
  State state_;
  bool touched_;        // any byte of the current line seen (for Finish)
  FieldToken* current_;  // the token being filled, or null when the field is not kept
  uint64_t nextLine_;
};
