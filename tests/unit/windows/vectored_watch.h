// A vectored exception handler for the tests, kept apart from the program's Win32 declarations
// (vectored_watch.cpp includes windows.h). It records every exception of one status that the
// system dispatches, and declines it.
#pragma once

#include <cstdint>

namespace vectored_watch {

struct Seen {
  unsigned long code;
  unsigned long flags;
  unsigned long parameterCount;
  uintptr_t parameters[15];
};

// Installs the handler first in the list, recording exceptions of `status`.
void Start(unsigned long status);
void Stop();
int Count();
Seen At(int index);

}  // namespace vectored_watch
