// The mapping of POSIX locale names to Win32 locale identifiers.
#pragma once

#include "platform/locale.h"

namespace platform {

// The mapping behind GetThreadLocale, for one POSIX locale name ("de_AT.UTF-8@euro" reads as
// de_AT); 0 for an unknown language.
LCID LocaleFromPosixName(const char* name);

}  // namespace platform
