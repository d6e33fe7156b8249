// Start-up, the unit table, and ExitProgram: the single way out of the program.
#pragma once

#include <cstdint>

#include "platform/registry.h"
#include "platform/win32.h"

extern uint8_t ConsoleProgramFlag;
extern int32_t ProcessExitCode;
// The address shown in the run-time error message; 0 when the end is not a run-time error.
extern uintptr_t RuntimeErrorAddress;
// "Runtime error     at 00000000" and a zero byte, filled in place.
extern char RuntimeErrorMessage[30];
extern platform::HMODULE ProgramModule;
extern int32_t InitialisedUnitCount;

// One unit of the program: what runs at start-up and at shutdown (either may be absent).
struct TUnitEntry {
  void (*initialiser)();
  void (*finaliser)();
};
inline constexpr int32_t ProgramUnitCount = 7;
extern const TUnitEntry ProgramUnitTable[ProgramUnitCount];
// The table that RunUnitInitialisers and RunUnitFinalisers work on: ProgramUnitTable.
extern const TUnitEntry* UnitTable;
extern int32_t UnitCount;

// The program entry: start-up in order, then `mainRoutine`, which ends by calling ExitProgram.
[[noreturn]] void ProgramEntry(void (*mainRoutine)());

void RunUnitInitialisers();
void RunUnitFinalisers();

// The machine test that allows the registry override of the control word's exception masks.
bool KeyboardTestHolds();
void ApplyFpuMaskOverride();

// The registry calls ApplyFpuMaskOverride makes; the overload with this argument lets a test
// supply its own.
struct FpuMaskRegistryCalls {
  platform::LONG (*openKey)(platform::HKEY key, const char* subKey, platform::DWORD options,
                            platform::DWORD access, platform::HKEY* result);
  platform::LONG (*queryValue)(platform::HKEY key, const char* valueName,
                               platform::DWORD* reserved, platform::DWORD* type,
                               unsigned char* data, platform::DWORD* dataSize);
  platform::LONG (*closeKey)(platform::HKEY key);
};
void ApplyFpuMaskOverride(const FpuMaskRegistryCalls& registry);

// Fills RuntimeErrorMessage in place for `code` and `address` (the value to show).
void BuildRuntimeErrorMessage(int32_t code, uintptr_t address);
// The address that the run-time error message shows: relative to the load base of the module
// that holds it; any other address as it is.
uintptr_t RuntimeErrorDisplayAddress(uintptr_t address);

// Ends the process: the run-time error message when `address` is not null, the unit finalisers,
// the release of the message modules, then ExitProcess(code). Never returns.
[[noreturn]] void ExitProgram(int32_t code, const void* address);
