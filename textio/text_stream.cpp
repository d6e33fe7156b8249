// The three standard text streams: binding to the standard handles on first use, filling and
// emptying the buffers, flush and close.
#include "textio/text_stream.h"

#include "platform/console_files.h"

TTextStream ConsoleInput{};
TTextStream ConsoleOutput{};
TTextStream ConsoleErrorOutput{};

namespace {

bool IsSetUp(uint16_t mode) {
  return mode == ModeClosed || mode == ModeInput || mode == ModeOutput || mode == ModeInOut;
}

bool IsOutputMode(uint16_t mode) { return mode == ModeOutput || mode == ModeInOut; }

// An empty slot of an open record cannot happen through these operations; should one be met,
// it reads as "not open" rather than as a call through a null pointer.
int32_t RunSlot(TextStreamOp op, TTextStream& stream) {
  return op != nullptr ? op(stream) : IoErrorNotOpen;
}

int32_t Record(int32_t code) {
  if (code != 0) SetPendingIoError(code);
  return code;
}

// The flush rule shared by FlushTextStream (transferOp) and LineEndFlush (flushOp).
int32_t Flush(TTextStream& stream, TextStreamOp op) {
  int32_t result = 0;
  if (stream.mode == ModeInput) {
    result = 0;
  } else if (IsOutputMode(stream.mode)) {
    result = RunSlot(op, stream);
  } else if (&stream == &ConsoleOutput || &stream == &ConsoleErrorOutput) {
    result = 0;  // a flush never opens a stream
  } else {
    result = IoErrorNotOpen;
  }
  return Record(result);
}

}  // namespace

int32_t NoOperation(TTextStream&) { return 0; }

int32_t OpenTextStream(TTextStream& stream, uint16_t mode) {
  int32_t result;
  if (!IsSetUp(stream.mode)) {
    result = IoErrorNotSetUp;
  } else {
    if (stream.mode != ModeClosed) CloseTextStream(stream);
    stream.mode = mode;
    if (stream.fileName[0] == '\0' && stream.openOp == nullptr) {
      stream.openOp = StandardHandleOpen;
    }
    if (stream.openOp != nullptr) {
      result = stream.openOp(stream);
    } else {
      // A named record without an open operation: there is nothing to open it with.
      stream.mode = ModeClosed;
      result = IoErrorNotSetUp;
    }
  }
  return Record(result);
}

int32_t StandardHandleOpen(TTextStream& stream) {
  const bool input = stream.mode == ModeInput;
  stream.bufferPos = 0;
  stream.bufferEnd = 0;
  stream.transferOp = input ? FillBuffer : WriteOutBuffer;
  stream.flushOp = NoOperation;  // a stream never closes a standard handle
  stream.closeOp = NoOperation;
  stream.bufferSize = TextStreamBufferSize;
  stream.bufferPtr = stream.inlineBuffer;

  platform::DWORD which = platform::STD_INPUT_HANDLE;
  if (!input) {
    which =
        &stream == &ConsoleErrorOutput ? platform::STD_ERROR_HANDLE : platform::STD_OUTPUT_HANDLE;
  }
  const platform::HANDLE handle = platform::GetStdHandle(which);
  if (handle == platform::INVALID_HANDLE_VALUE) {
    stream.mode = ModeClosed;
    return static_cast<int32_t>(platform::GetLastError());
  }
  stream.handle = handle;
  if (input) return 0;

  switch (platform::GetFileType(handle)) {
    case platform::FILE_TYPE_UNKNOWN:
      platform::CloseHandle(handle);
      stream.mode = ModeClosed;
      return IoErrorNotOpenForOutput;
    case platform::FILE_TYPE_CHAR:
      stream.flushOp = WriteOutBuffer;  // every line end writes the line out
      return 0;
    default:
      return 0;  // disk file or pipe: whole blocks only
  }
}

int32_t FillBuffer(TTextStream& stream) {
  stream.bufferEnd = 0;
  stream.bufferPos = 0;
  const uint32_t capacity = BufferCapacity(stream);
  platform::DWORD count = 0;
  if (platform::ReadFile(stream.handle, stream.inlineBuffer, capacity, &count) == 0) {
    const platform::DWORD code = platform::GetLastError();
    if (code == platform::ERROR_BROKEN_PIPE) return 0;  // the writer has gone: end of input
    return static_cast<int32_t>(code);
  }
  // A count beyond what was asked for can only be a fault of the device layer; never let it
  // lead the reader past the buffer.
  stream.bufferEnd = count <= capacity ? count : capacity;
  return 0;
}

int32_t WriteOutBuffer(TTextStream& stream) {
  if (stream.bufferPos == 0) return 0;
  const uint32_t capacity = BufferCapacity(stream);
  const uint32_t count = stream.bufferPos <= capacity ? stream.bufferPos : capacity;
  platform::DWORD written = 0;
  const platform::BOOL ok =
      platform::WriteFile(stream.handle, stream.inlineBuffer, count, &written);
  stream.bufferPos = 0;  // a block that failed to write is discarded
  if (ok == 0) return static_cast<int32_t>(platform::GetLastError());
  return 0;
}

bool EnsureOpenForInput(TTextStream& stream) {
  if (&stream == &ConsoleInput) {
    stream.flags = DefaultLineEndStyle;
    OpenTextStream(stream, ModeInput);
  }
  if (stream.mode == ModeInput) return true;
  SetPendingIoError(IoErrorNotOpenForInput);
  return false;
}

bool EnsureOpenForOutput(TTextStream& stream) {
  if (&stream == &ConsoleOutput || &stream == &ConsoleErrorOutput) {
    stream.flags = DefaultLineEndStyle;
    OpenTextStream(stream, ModeOutput);
  }
  if (stream.mode == ModeOutput) return true;
  SetPendingIoError(IoErrorNotOpenForOutput);
  return false;
}

int32_t FlushTextStream(TTextStream& stream) { return Flush(stream, stream.transferOp); }

int32_t LineEndFlush(TTextStream& stream) { return Flush(stream, stream.flushOp); }

int32_t CloseTextStream(TTextStream& stream) {
  int32_t result = 0;
  if (stream.mode == ModeInput || IsOutputMode(stream.mode)) {
    if (IsOutputMode(stream.mode)) result = RunSlot(stream.transferOp, stream);
    if (result == 0) result = RunSlot(stream.closeOp, stream);
    return Record(result);
  }
  if (&stream == &ConsoleInput) return 0;
  return Record(IoErrorNotOpen);
}
