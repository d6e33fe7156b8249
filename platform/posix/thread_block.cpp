// The thread block on POSIX: a thread_local of the program, in the image's static TLS
// (initial-exec).
#include "platform/thread_block.h"

namespace platform {
namespace {

thread_local ThreadBlockRecord CurrentThreadBlock{};

}  // namespace

ThreadBlockRecord& ThreadBlock() { return CurrentThreadBlock; }

}  // namespace platform
