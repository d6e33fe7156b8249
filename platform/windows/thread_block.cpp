// The thread block on Windows. mingw's thread_local is emulated (a block allocated on a thread's
// first use), so the block is placed in the image's TLS template instead: the loader copies the
// template for every thread before the thread runs, and the thread reaches its copy through its
// environment block.
#include "platform/thread_block.h"

#include "win32_api.h"

namespace platform {
namespace {

// In the TLS template between the run-time's _tls_start (.tls) and _tls_end (.tls$ZZZ).
[[gnu::section(".tls$FRAMECALC"), gnu::used]] ThreadBlockRecord ThreadBlockTemplate = {0, 0};

}  // namespace

ThreadBlockRecord& ThreadBlock() {
  return *static_cast<ThreadBlockRecord*>(win32::StaticTlsAddress(&ThreadBlockTemplate));
}

}  // namespace platform
