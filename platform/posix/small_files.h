// Reading the small configuration and language files of the POSIX backend.
#pragma once

#include <cstddef>
#include <string>

namespace platform::posix_detail {

// Reads a whole regular file of at most `limit` bytes into `contents`. False for a missing,
// unreadable, non-regular or larger file; never blocks on a FIFO.
bool ReadSmallFile(const char* path, size_t limit, std::string& contents);

}  // namespace platform::posix_detail
