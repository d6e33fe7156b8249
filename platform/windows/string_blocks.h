// The form of a block of a string table resource. A block holds the 16 entries of identifiers
// 16 (n - 1) to 16 n - 1 of block n, one after the other, each a 16-bit count of UTF-16 units
// (little-endian) and that many units. The system's string loader trusts every count: a block
// whose entries run past its end would have it read beyond the resource.
#pragma once

#include <cstddef>

namespace platform {

inline constexpr int StringBlockEntries = 16;

// Whether the `size` bytes at `data` (the size the system gives for the resource) are a whole
// number of 16-bit units and hold all 16 counted entries. Bytes after the last entry are allowed.
inline bool StringBlockWellFormed(const void* data, size_t size) {
  if (data == nullptr || size % 2 != 0) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t pos = 0;
  for (int entry = 0; entry < StringBlockEntries; ++entry) {
    if (size - pos < 2) return false;
    const size_t units =
        static_cast<size_t>(bytes[pos]) | (static_cast<size_t>(bytes[pos + 1]) << 8);
    pos += 2;
    if ((size - pos) / 2 < units) return false;
    pos += 2 * units;
  }
  return true;
}

}  // namespace platform
