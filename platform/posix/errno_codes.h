// The one errno-to-Win32 table of the POSIX backend.
#pragma once

#include "platform/win32.h"

namespace platform {

// The Win32 code for an errno value of a failed open, read, write, stat or close (one table for the
// whole console layer; ERROR_GEN_FAILURE for a value it does not list).
DWORD Win32ErrorFromErrno(int errnoValue);

}  // namespace platform
