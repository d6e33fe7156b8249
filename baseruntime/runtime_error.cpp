// The run-time error path: a reason becomes the hook's exception, or, without the exception
// support, a numbered run-time error that ends the program.
#include "baseruntime/runtime_error.h"

#include "platform/thread_block.h"
#include "baseruntime/exit_program.h"

RuntimeErrorHookFunction RuntimeErrorHook = nullptr;

namespace {

// The run-time error code of each reason; reason 0 takes the pending I/O error's instead, and
// reason 22 (a platform fault without a row) never reaches the run-time error path.
constexpr uint8_t ReasonCodes[] = {
    0,   203, 204, 200, 201, 215, 207, 200, 205, 206, 219, 216, 218,
    217, 202, 220, 221, 222, 223, 224, 225, 227, 0,   228, 229,
};
constexpr uint8_t ReasonCount = sizeof ReasonCodes;

}  // namespace

uint8_t RuntimeErrorCodeOf(uint8_t reason) {
  return reason < ReasonCount ? ReasonCodes[reason] : UnknownStatusCode;
}

void RaiseRuntimeError(uint8_t reason, const void* address) {
  reason &= 0x7F;
  if (RuntimeErrorHook != nullptr) RuntimeErrorHook(reason, address);
  uint8_t code = reason == ReasonIoError
                     ? static_cast<uint8_t>(platform::ThreadBlock().pendingIoError & 0xFF)
                     : RuntimeErrorCodeOf(reason);
  // A code of 0 would end a failed run with the exit code of success.
  if (code == 0) code = UnknownStatusCode;
  ExitProgram(code, address);
}
