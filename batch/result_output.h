// Where framecalc-batch's result lines go: blocks that end at a line end, written to a handle.
// When a write fails part-way, what reached the output is made to end at a line end again: on a
// file on disk the cut line is taken back; where that cannot be done (a pipe, a device), the
// number of the last complete line is kept for the message.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

struct ResultOutput {
  platform::HANDLE handle = platform::INVALID_HANDLE_VALUE;
  uint64_t completeLines = 0;  // result lines that reached the output whole
  platform::DWORD error = 0;   // the last error of the failed write; 0 while none failed
  bool lineCut = false;        // part of a line reached the output and could not be taken back
};

// An OutputSink (output_buffer.h) for a ResultOutput: writes the block, counts its lines; false
// when the write failed, with the error and what reached the output recorded as above.
bool WriteResultBlock(void* output, const char* data, size_t size);
