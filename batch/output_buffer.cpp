#include "batch/output_buffer.h"

#include <cstring>

#include "numconv/real_to_text.h"

namespace {
// The calculator's field width for a coordinate.
constexpr int32_t CoordinateWidth = 5;
}  // namespace

OutputBuffer::OutputBuffer(char* storage, size_t capacity, OutputSink sink, void* sinkContext)
    : storage_(storage), capacity_(capacity), sink_(sink), sinkContext_(sinkContext) {}

void OutputBuffer::Append(const char* data, size_t size) {
  while (size > 0) {
    if (used_ == capacity_) FlushWholeLines();
    const size_t room = capacity_ - used_;
    const size_t part = size < room ? size : room;
    std::memcpy(storage_ + used_, data, part);
    used_ += part;
    data += part;
    size -= part;
  }
}

void OutputBuffer::Append(const char* text) { Append(text, std::strlen(text)); }

void OutputBuffer::Flush() {
  if (used_ > 0 && !failed_) {
    if (before_ != nullptr) before_->FlushCompleteLines();
    if (!sink_(sinkContext_, storage_, used_)) failed_ = true;
  }
  used_ = 0;
}

void OutputBuffer::FlushCompleteLines() {
  size_t end = used_;
  while (end > 0 && storage_[end - 1] != '\n') --end;
  if (end == 0 || failed_) return;
  if (before_ != nullptr) before_->FlushCompleteLines();
  if (!sink_(sinkContext_, storage_, end)) {
    failed_ = true;
    used_ = 0;
    return;
  }
  std::memmove(storage_, storage_ + end, used_ - end);
  used_ -= end;
}

void OutputBuffer::FlushWholeLines() {
  size_t end = used_;
  while (end > 0 && storage_[end - 1] != '\n') --end;
  // A line longer than the whole block goes as it is; after a failure nothing is kept.
  if (end == 0 || failed_) {
    Flush();
    return;
  }
  FlushCompleteLines();
}

void AppendCoordinate(OutputBuffer& out, double value, int32_t decimals, char decimalPoint) {
  CountedText text;
  DoubleToText(value, CoordinateWidth, decimals, text);
  size_t start = 0;
  while (start < text.length && text.chars[start] == ' ') ++start;
  if (decimalPoint != '.') {
    for (size_t i = start; i < text.length; ++i) {
      if (text.chars[i] == '.') text.chars[i] = decimalPoint;
    }
  }
  // The padding is at most four blanks (width 5), so the text's buffer holds ShortCopy bytes
  // from its start; the test keeps that true for any width.
  if (start + OutputBuffer::ShortCopy <= sizeof text.chars) {
    out.AppendShort(text.chars + start, text.length - start);
  } else {
    out.Append(text.chars + start, text.length - start);
  }
}

void AppendLineEnd(OutputBuffer& out, const OutputFormat& format) {
  if (format.crlf) out.Append('\r');
  out.Append('\n');
}
