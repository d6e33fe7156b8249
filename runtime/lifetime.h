// Start-up: the program entry, the program's unit table and the control-word override. The
// termination path itself is the base run-time's (baseruntime/exit_program.h).
#pragma once

#include <cstdint>

#include "platform/registry.h"
#include "baseruntime/exit_program.h"
#include "platform/win32.h"

extern platform::HMODULE ProgramModule;

inline constexpr int32_t ProgramUnitCount = 7;
extern const UnitEntry ProgramUnitTable[ProgramUnitCount];
// Puts ProgramUnitTable in place as the unit table (unless another table was set first) and
// connects ExitProgram to the text streams and the message modules. Runs before main.
void ConnectProgramLifetime();

// The program entry: start-up in order, then `mainRoutine`, which ends by calling ExitProgram.
[[noreturn]] void ProgramEntry(void (*mainRoutine)());

// The machine test that allows the registry override of the control word's exception masks.
bool KeyboardTestHolds();
void ApplyFpuMaskOverride();

// The registry calls ApplyFpuMaskOverride makes; the overload with this argument lets a test
// supply its own.
struct FpuMaskRegistryCalls {
  platform::LONG (*openKey)(platform::HKEY key, const char* subKey, platform::DWORD options,
                            platform::DWORD access, platform::HKEY* result);
  platform::LONG (*queryValue)(platform::HKEY key, const char* valueName, platform::DWORD* reserved,
                               platform::DWORD* type, unsigned char* data,
                               platform::DWORD* dataSize);
  platform::LONG (*closeKey)(platform::HKEY key);
};
void ApplyFpuMaskOverride(const FpuMaskRegistryCalls& registry);
