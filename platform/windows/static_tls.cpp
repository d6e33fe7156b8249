// Static thread-local storage: the loader gives every thread its own copy of the image's TLS
// template (the .tls sections, from _tls_start to _tls_end) and keeps the copies' addresses in
// the array at the thread environment block's ThreadLocalStoragePointer, indexed by _tls_index.
#include <windows.h>

#include <cstdint>

#include "thread_environment.h"  // the processor's: where the thread's block keeps the array
#include "win32_api.h"

extern "C" {
extern ULONG _tls_index;
extern const IMAGE_TLS_DIRECTORY _tls_used;
}

namespace platform::win32 {

void* StaticTlsAddress(const void* templateVariable) {
  char** const slots = ThreadLocalStorageSlots();
  const uintptr_t offset = reinterpret_cast<uintptr_t>(templateVariable) -
                           static_cast<uintptr_t>(_tls_used.StartAddressOfRawData);
  return slots[_tls_index] + offset;
}

}  // namespace platform::win32
