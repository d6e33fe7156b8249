#include "platform/system.h"

#include <cstring>

namespace platform {

SystemFunctions* SystemOverride = nullptr;

int GetKeyboardType(int typeFlag) {
  if (SystemOverride != nullptr) return SystemOverride->getKeyboardType(typeFlag);
  return 0;
}

BOOL CharToOemA(const char* source, char* destination) {
  if (SystemOverride != nullptr) return SystemOverride->charToOemA(source, destination);
  if (source == nullptr || destination == nullptr) return FALSE_;
  if (source != destination) std::memmove(destination, source, std::strlen(source) + 1);
  return TRUE_;
}

}  // namespace platform
