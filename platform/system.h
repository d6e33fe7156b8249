// Machine and text services: the keyboard type and the ANSI-to-OEM text conversion.
#pragma once

#include "platform/win32.h"

namespace platform {

// typeFlag 0: the keyboard type; 1: its subtype; 2: the number of function keys. Answers 0 on a
// machine where this cannot be known (always so on POSIX).
int GetKeyboardType(int typeFlag);

// Converts zero-terminated text from the ANSI to the OEM code page; source and destination may
// be the same buffer. Copies unchanged where both code pages are the same (always so on POSIX).
BOOL CharToOemA(const char* source, char* destination);

// Test substitution: when SystemOverride is set, every call above goes to it instead.
struct SystemFunctions {
  int (*getKeyboardType)(int typeFlag);
  BOOL (*charToOemA)(const char* source, char* destination);
};

extern SystemFunctions* SystemOverride;

}  // namespace platform
