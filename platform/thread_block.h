// The per-thread block of the program: 8 bytes of static thread-local storage.
// Word 0 is unused and stays 0; word 1 is the pending I/O error code of the thread.
#pragma once

#include <cstdint>

namespace platform {

struct ThreadBlockRecord {
  int32_t reserved;        // word 0: unused, always 0
  int32_t pendingIoError;  // word 1: 0 when no I/O error is pending
};

static_assert(sizeof(ThreadBlockRecord) == 8, "the thread block is two 32-bit words");

// The calling thread's block: one per thread, in the image's static thread-local storage (never
// storage allocated on first use), zero when the thread starts. Each backend defines it.
ThreadBlockRecord& ThreadBlock();

}  // namespace platform
