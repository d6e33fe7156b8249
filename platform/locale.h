// The user's locale, as Win32 locale identifiers (LCID) and their abbreviated language names.
#pragma once

#include "platform/win32.h"

namespace platform {

using LCID = DWORD;
using LCTYPE = DWORD;

inline constexpr LCTYPE LOCALE_SABBREVLANGNAME = 0x00000003;

// The locale of the calling thread. On POSIX: the locale named by the first non-empty of the
// environment variables LC_ALL, LC_MESSAGES and LANG ("de_AT.UTF-8@euro" reads as de_AT);
// "C" and "POSIX" (and no variable at all) read as English (United States), 0x0409. A language
// with a country not listed reads as the language's main country; an unknown language as 0.
LCID GetThreadLocale();

// For LOCALE_SABBREVLANGNAME: the locale's three-letter abbreviation (ENU, DEU, DEA, FRC, ...)
// with a terminating zero. Returns the number of characters written including the zero; the
// size needed when `size` is 0; 0 when the buffer is too small (ERROR_INSUFFICIENT_BUFFER), the
// locale is unknown or the type is not supported (ERROR_INVALID_PARAMETER).
int GetLocaleInfoA(LCID locale, LCTYPE type, char* data, int size);

}  // namespace platform
