// The pending I/O error of the calling thread (word 1 of its thread block) and the check made
// after every text statement.
#include "platform/thread_block.h"
#include "baseruntime/runtime_error.h"
#include "textio/text_stream.h"

void SetPendingIoError(int32_t code) { platform::ThreadBlock().pendingIoError = code; }

int32_t TakePendingIoError() {
  platform::ThreadBlockRecord& block = platform::ThreadBlock();
  const int32_t code = block.pendingIoError;
  block.pendingIoError = 0;
  return code;
}

int32_t PeekPendingIoError() { return platform::ThreadBlock().pendingIoError; }

__attribute__((noinline)) void CheckIoResult() {
  if (platform::ThreadBlock().pendingIoError != 0) {
    // The code stays pending: the raise path takes it when it builds the exception.
    RaiseRuntimeError(ReasonIoError, RETURN_ADDRESS());
  }
}
