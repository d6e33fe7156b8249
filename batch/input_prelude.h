// The start of an input, up to its first line that is not blank or a comment: that line decides
// the delimiter, so it is held until it is complete before the scan of the records begins.
//
// - A UTF-8 byte-order mark at the start is skipped.
// - UTF-16 (a byte-order mark FF FE or FE FF, or zero bytes in a line, as between the characters
//   of UTF-16 text) is reported, never read as records.
// - Lines end at LF, CR LF or a lone CR, not inside double quotes.
// - The delimiter: tab if the first line holds one outside quotes, else ";", else "," (never
//   with a decimal comma), else blanks.
//
// The blank and comment lines before it are handed back one by one (one longer than the holding
// buffer in parts), for the output that repeats them. Holding nothing but the one line, in a
// buffer of its own: a first line longer than the buffer decides by the part held.
#pragma once

#include <cstddef>
#include <cstdint>

#include "batch/record_parser.h"

// The UTF-8 byte-order mark (3 bytes), skipped at an input's start and written back by a table.
inline constexpr char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";

class InputPrelude {
 public:
  static constexpr size_t Capacity = 16 * 1024;

  enum class Outcome : uint8_t {
    NeedMore,       // everything taken, nothing to hand back yet
    PassedLine,     // a blank or comment line (or a part of a long comment): held()
    FirstLine,      // the first line of records or the header, with its line end: held()
    Utf16,          // the input is UTF-16 text
    LongLineStart,  // a line's first field comes after more than the buffer of blanks and
                    // delimiters: where its fields lie cannot be told
  };

  void Restart();

  // Takes bytes from `p` on (advancing it) until a line is complete or the bytes run out.
  Outcome Take(const char*& p, const char* end);
  // At the end of the input: the line held, if any (PassedLine or FirstLine), else NeedMore.
  Outcome Finish();

  // The bytes of the line handed back: for a passed line without its line end, for the first
  // line with it. Valid until the next Take, Finish or Restart.
  const char* held() const { return held_; }
  size_t heldLength() const { return length_; }
  // A passed line is complete (its line end was taken), not a part of a long comment.
  bool lineComplete() const { return complete_; }
  bool byteOrderMarkSkipped() const { return byteOrderMarkSkipped_; }

  // The delimiter that the first line gives.
  Delimiter DetectDelimiter(bool decimalComma) const;

 private:
  Outcome Complete(bool lineEnded);
  void StartLine();

  char held_[Capacity + 1];  // the LF of a CR LF that ends a full buffer's line after its CR
  size_t length_ = 0;
  size_t contentLength_ = 0;  // of held_, without the line end
  bool inQuotes_ = false;
  bool significant_ = false;    // a character that is no blank, delimiter, quote or comment mark
  bool comment_ = false;        // the first character after blanks was "#"
  bool onlyBlanks_ = true;      // nothing but blanks so far on the line
  bool inLongComment_ = false;  // a comment whose first part was handed back
  bool inLongBlank_ = false;    // a blank line whose first part was handed back
  bool atInputStart_ = true;
  uint8_t bomLength_ = 0;  // bytes of a UTF-8 byte-order mark at the input's start
  bool skipLineFeed_ = false;
  bool complete_ = false;
  bool byteOrderMarkSkipped_ = false;
  bool handedBack_ = false;  // held_ was handed back: the next Take starts a new line
};
