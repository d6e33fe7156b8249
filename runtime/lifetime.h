// Start-up, the unit table, and ExitProgram: the single way out of the program.
#pragma once

#include <cstdint>

#include "platform/win32.h"

extern uint8_t ConsoleProgramFlag;
extern int32_t ProcessExitCode;
// The address shown in the run-time error message; 0 when the end is not a run-time error.
extern uintptr_t RuntimeErrorAddress;
// "Runtime error     at 00000000" and a zero byte, filled in place.
extern char RuntimeErrorMessage[30];
extern platform::HMODULE ProgramModule;
extern int32_t InitialisedUnitCount;

// The program entry: start-up in order, then `mainRoutine`, which ends by calling ExitProgram.
[[noreturn]] void ProgramEntry(void (*mainRoutine)());

void RunUnitInitialisers();
void RunUnitFinalisers();
void ApplyFpuMaskOverride();

// Ends the process: the run-time error message when `address` is not null, the unit finalisers,
// the release of the message modules, then ExitProcess(code). Never returns.
[[noreturn]] void ExitProgram(int32_t code, const void* address);
