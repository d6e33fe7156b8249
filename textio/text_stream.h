// The buffered text stream record, the three standard streams, and the pending I/O error
// discipline shared by every text operation.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct TTextStream;

// An operation slot: takes the stream, returns 0 or an error code.
using TextStreamOp = int32_t (*)(TTextStream& stream);

inline constexpr uint16_t ModeClosed = 0xD7B0;
inline constexpr uint16_t ModeInput = 0xD7B1;
inline constexpr uint16_t ModeOutput = 0xD7B2;
inline constexpr uint16_t ModeInOut = 0xD7B3;

inline constexpr uint16_t CrLfMode = 0x0001;        // bit 0 of flags
inline constexpr uint16_t DefaultLineEndStyle = 1;  // copied into flags on first use

inline constexpr uint32_t TextStreamBufferSize = 128;

struct TTextStream {
  platform::HANDLE handle;
  uint16_t mode;
  uint16_t flags;
  uint32_t bufferSize;
  uint32_t bufferPos;
  uint32_t bufferEnd;
  char* bufferPtr;
  TextStreamOp openOp;
  TextStreamOp transferOp;
  TextStreamOp flushOp;
  TextStreamOp closeOp;
  uint8_t userArea[32];
  char fileName[260];
  char inlineBuffer[TextStreamBufferSize];
};

// The number of usable bytes of the buffer: bufferSize, but never beyond the record's own
// inlineBuffer, so that no record, however its fields were left, leads outside the buffer.
inline uint32_t BufferCapacity(const TTextStream& stream) {
  return stream.bufferSize < TextStreamBufferSize ? stream.bufferSize : TextStreamBufferSize;
}

extern TTextStream ConsoleInput;
extern TTextStream ConsoleOutput;
extern TTextStream ConsoleErrorOutput;

// Codes the stream operations record.
inline constexpr int32_t IoErrorNotSetUp = 102;
inline constexpr int32_t IoErrorNotOpen = 103;
inline constexpr int32_t IoErrorNotOpenForInput = 104;
inline constexpr int32_t IoErrorNotOpenForOutput = 105;
inline constexpr int32_t IoErrorInvalidNumber = 106;

void SetPendingIoError(int32_t code);
int32_t TakePendingIoError();
int32_t PeekPendingIoError();  // reads the calling thread's code without clearing it

// Raises the pending code through RaiseRuntimeError (reason 0) at the location just after the
// call; returns at once when nothing is pending. Never inlined: the return address of its own
// call is the error address.
__attribute__((noinline)) void CheckIoResult();

int32_t OpenTextStream(TTextStream& stream, uint16_t mode);
int32_t StandardHandleOpen(TTextStream& stream);
int32_t FillBuffer(TTextStream& stream);
int32_t WriteOutBuffer(TTextStream& stream);
int32_t NoOperation(TTextStream& stream);
bool EnsureOpenForInput(TTextStream& stream);
bool EnsureOpenForOutput(TTextStream& stream);
int32_t FlushTextStream(TTextStream& stream);
int32_t LineEndFlush(TTextStream& stream);
int32_t CloseTextStream(TTextStream& stream);
