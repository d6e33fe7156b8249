// The output of framecalc-batch: bytes gathered in one large block and handed to a sink when the
// block is full or the run ends, and the formatting of the result lines into it. A full block is
// handed over up to its last line end, so that every block but a line longer than the whole
// block ends at a line end; the bytes after it open the next block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Receives a block of bytes; false when it could not take them all.
using OutputSink = bool (*)(void* context, const char* data, size_t size);

class OutputBuffer {
 public:
  // `storage` of `capacity` bytes (at least 512) is owned by the caller and used for the whole
  // run: nothing is allocated afterwards.
  OutputBuffer(char* storage, size_t capacity, OutputSink sink, void* sinkContext);

  void Append(const char* data, size_t size);
  void Append(const char* text);  // NUL-terminated
  // The same for a few bytes from a source that may be read up to ShortCopy bytes far: while
  // the block has that much room, they go in one copy of fixed size, which needs no call.
  static constexpr size_t ShortCopy = 32;
  void AppendShort(const char* data, size_t size) {
    if (size <= ShortCopy && capacity_ - used_ >= ShortCopy) {
      std::memcpy(storage_ + used_, data, ShortCopy);
      used_ += size;
      return;
    }
    Append(data, size);
  }
  void Append(char c) {
    if (used_ == capacity_) FlushWholeLines();
    storage_[used_++] = c;
  }
  // Hands everything gathered to the sink. After a sink failure the buffer keeps nothing and
  // takes nothing more; failed() tells.
  void Flush();
  // Hands the gathered bytes over up to the last line end, and keeps the rest.
  void FlushCompleteLines();
  // Whenever this buffer hands bytes to its sink, `before` first hands over its complete lines:
  // where both outputs meet (2>&1, a terminal), what this one writes follows every line that
  // `before` had gathered, whatever the sizes of the two buffers.
  void FollowAfter(OutputBuffer* before) { before_ = before; }

  bool failed() const { return failed_; }
  size_t pending() const { return used_; }

 private:
  // Hands the full block over up to its last line end and keeps the rest.
  void FlushWholeLines();

  char* storage_;
  size_t capacity_;
  size_t used_ = 0;
  OutputSink sink_;
  void* sinkContext_;
  OutputBuffer* before_ = nullptr;
  bool failed_ = false;
};

// The most digits after the point that the conversion writes (--decimals).
constexpr int32_t MaximumDecimals = 216;

struct OutputFormat {
  int32_t decimals = 2;  // digits after the point (the calculator's 2)
  bool crlf = false;     // CR LF line ends instead of LF
  bool echo = false;     // the record's six fields before the crossing
  bool table = false;    // every input line written back, with the results beside it
};

// A coordinate as the calculator writes it (RealToText with width 5 and the given decimals),
// without the padding blanks, with `decimalPoint` as its point (a table of a file whose decimal
// point is the comma gets its own). Appends at most 255 characters.
void AppendCoordinate(OutputBuffer& out, double value, int32_t decimals, char decimalPoint = '.');

void AppendLineEnd(OutputBuffer& out, const OutputFormat& format);
