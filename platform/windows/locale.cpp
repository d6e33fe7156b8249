// The user's locale: the Win32 calls.
#include "platform/locale.h"

#include "win32_api.h"

namespace platform {

LCID GetThreadLocale() { return static_cast<LCID>(win32::ThreadLocale()); }

int GetLocaleInfoA(LCID locale, LCTYPE type, char* data, int size) {
  return win32::LocaleInfo(locale, type, data, size);
}

}  // namespace platform
