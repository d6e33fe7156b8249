// Machine and text services: the Win32 calls.
#include "platform/system.h"

#include "win32_api.h"

namespace platform {

SystemFunctions* SystemOverride = nullptr;

int GetKeyboardType(int typeFlag) {
  if (SystemOverride != nullptr) return SystemOverride->getKeyboardType(typeFlag);
  return win32::KeyboardType(typeFlag);
}

BOOL CharToOemA(const char* source, char* destination) {
  if (SystemOverride != nullptr) return SystemOverride->charToOemA(source, destination);
  return win32::ConvertToOem(source, destination);
}

}  // namespace platform
