// Modules and memory regions: the Win32 calls. A module handle is the module's load base.
#include "platform/modules.h"

#include "win32_api.h"

namespace platform {

HMODULE GetModuleHandleA(const char* moduleName) {
  return static_cast<HMODULE>(win32::ModuleHandle(moduleName));
}

DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size) {
  return static_cast<DWORD>(win32::ModuleFileName(module, fileName, size));
}

size_t VirtualQuery(const void* address, MEMORY_BASIC_INFORMATION* info, size_t length) {
  if (info == nullptr || length < sizeof(MEMORY_BASIC_INFORMATION)) return 0;
  win32::RegionInfo region{};
  if (win32::QueryRegion(address, region) == 0) return 0;
  info->BaseAddress = region.baseAddress;
  info->AllocationBase = region.allocationBase;
  info->AllocationProtect = static_cast<DWORD>(region.allocationProtect);
  info->RegionSize = region.regionSize;
  info->State = static_cast<DWORD>(region.state);
  info->Protect = static_cast<DWORD>(region.protect);
  info->Type = static_cast<DWORD>(region.type);
  return sizeof(MEMORY_BASIC_INFORMATION);
}

}  // namespace platform
