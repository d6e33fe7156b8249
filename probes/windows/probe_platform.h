// What the probe needs from the system on Windows: binary standard streams and a line reader.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "platform/windows/win32_api.h"

namespace probe_platform {

// The C run-time opens the standard streams in text mode (CR LF for LF, end of input at byte 26).
inline void PrepareStandardStreams() { platform::win32::SetBinaryStandardStreams(); }

// The next line of standard input with its LF (if any) in *line; false at the end of input.
inline bool ReadLine(char*& line, size_t& capacity, size_t& length) {
  length = 0;
  for (;;) {
    const int c = std::getc(stdin);
    if (c == EOF) break;
    if (length + 2 > capacity) {
      const size_t grown = capacity < 64 ? 128 : capacity * 2;
      char* bigger = static_cast<char*>(std::realloc(line, grown));
      if (bigger == nullptr) std::abort();
      line = bigger;
      capacity = grown;
    }
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (length == 0) return false;
  line[length] = '\0';
  return true;
}

}  // namespace probe_platform
