// What the probe needs from the system on POSIX: getline.
#pragma once

#include <cstdio>
#include <sys/types.h>

namespace probe_platform {

// Standard streams carry bytes unchanged already.
inline void PrepareStandardStreams() {}

// The next line of standard input with its LF (if any) in *line; false at the end of input.
inline bool ReadLine(char*& line, size_t& capacity, size_t& length) {
  const ssize_t got = getline(&line, &capacity, stdin);
  if (got < 0) return false;
  length = static_cast<size_t>(got);
  return true;
}

}  // namespace probe_platform
