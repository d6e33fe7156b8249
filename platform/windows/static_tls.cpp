// Static thread-local storage: the loader gives every thread its own copy of the image's TLS
// template (the .tls sections, from _tls_start to _tls_end) and keeps the copies' addresses in
// the array at the thread environment block's ThreadLocalStoragePointer, indexed by _tls_index.
// g++ 12 takes the segment read inside NtCurrentTeb for a read of a zero-length array (a false
// -Warray-bounds on the intrinsic's fixed offset).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#include <windows.h>
#include <winternl.h>

#include <cstdint>

#include "win32_api.h"

extern "C" {
extern ULONG _tls_index;
extern const IMAGE_TLS_DIRECTORY _tls_used;
}

namespace platform::win32 {

void* StaticTlsAddress(const void* templateVariable) {
  // ThreadLocalStoragePointer is the block's twelfth pointer, on either processor (winternl.h
  // names it Reserved1[11]).
  char** const slots = static_cast<char**>(NtCurrentTeb()->Reserved1[11]);
  const uintptr_t offset = reinterpret_cast<uintptr_t>(templateVariable) -
                           static_cast<uintptr_t>(_tls_used.StartAddressOfRawData);
  return slots[_tls_index] + offset;
}
#pragma GCC diagnostic pop

}  // namespace platform::win32
