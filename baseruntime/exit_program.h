// The unit table with its initialisation and finalisation, and ExitProgram: the single way out of
// the program, with its exit code and the "Runtime error" message.
#pragma once

#include <cstdint>

extern uint8_t ConsoleProgramFlag;
extern int32_t ProcessExitCode;
// The address shown in the run-time error message; 0 when the end is not a run-time error.
extern uintptr_t RuntimeErrorAddress;
// "Runtime error     at 00000000" and a zero byte, filled in place.
extern char RuntimeErrorMessage[30];
extern int32_t InitialisedUnitCount;

// One unit of the program: what runs at start-up and at shutdown (either may be absent).
struct UnitEntry {
  void (*initialiser)();
  void (*finaliser)();
};
// The table that RunUnitInitialisers and RunUnitFinalisers work on; start-up sets it.
extern const UnitEntry* UnitTable;
extern int32_t UnitCount;

void RunUnitInitialisers();
void RunUnitFinalisers();

// What ExitProgram asks of the layers above it; start-up sets both, either may be empty.
// writePendingOutput writes out the buffered standard output before the run-time error message
// (its failure is not recorded); releaseModules removes the program's module registration and
// releases its language module.
struct ExitHookPair {
  void (*writePendingOutput)();
  void (*releaseModules)();
};
extern ExitHookPair ExitHooks;

// Fills RuntimeErrorMessage in place for `code` and `address` (the value to show).
void BuildRuntimeErrorMessage(int32_t code, uintptr_t address);
// The address that the run-time error message shows: relative to the load base of the module
// that holds it; any other address as it is.
uintptr_t RuntimeErrorDisplayAddress(uintptr_t address);

// Called by a finaliser whose writing out of the console output failed: an otherwise normal end
// then exits with that I/O error's code as a run-time error would (low 8 bits, 255 for a code
// whose low 8 bits are 0), with the "Runtime error" message at `address`, so that lost results
// never end as success.
void RecordShutdownFailure(int32_t code, const void* address);

// Ends the process when even the report of a failure keeps failing: the pending standard output
// and the run-time error message for `code` at `address`, then ExitProcess(code), without the
// finalisers. Never returns.
[[noreturn]] void AbandonProgram(int32_t code, const void* address);

// Ends the process: the run-time error message when `address` is not null, the unit finalisers,
// the release of the message modules, then ExitProcess(code). Never returns.
[[noreturn]] void ExitProgram(int32_t code, const void* address);
