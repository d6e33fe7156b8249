#include "runtime/lifetime.h"

#include <new>

#include "platform/console_files.h"
#include "platform/faults.h"
#include "platform/modules.h"
#include "platform/system.h"
#include "numconv/fpu_control.h"
#include "baseruntime/runtime_error.h"
#include "runtime/exception_report.h"
#include "runtime/exception_support.h"
#include "runtime/exceptions.h"
#include "runtime/message_text.h"
#include "textio/text_stream.h"

platform::HMODULE ProgramModule = 0;

namespace {

// Raised through the allocator when memory runs out. The address is the allocator's code that
// asked for more.
__attribute__((noinline)) void OutOfMemoryHandler() {
  RaiseRuntimeError(ReasonOutOfMemory, RETURN_ADDRESS());
}

void InitialiseBaseRuntime() {
  if (KeyboardTestHolds()) ApplyFpuMaskOverride();
  ResetFpu();
  ConsoleInput.mode = ModeClosed;
  ConsoleOutput.mode = ModeClosed;
  ConsoleErrorOutput.mode = ModeClosed;
  std::set_new_handler(OutOfMemoryHandler);
}

// Writes out and closes standard output; a failure there is the run's last word on its results.
__attribute__((noinline)) void CloseConsoleOutput() {
  const int32_t code = CloseTextStream(ConsoleOutput);
  if (code != 0) RecordShutdownFailure(code, RETURN_ADDRESS());
}

void FinaliseBaseRuntime() {
  CloseTextStream(ConsoleInput);
  CloseConsoleOutput();
  CloseTextStream(ConsoleErrorOutput);
  std::set_new_handler(nullptr);
}

// Pending standard output goes out before the run-time error message; a failure here is not
// recorded.
void WritePendingOutput() {
  if (ConsoleOutput.mode == ModeOutput && ConsoleOutput.bufferPos > 0 &&
      ConsoleOutput.transferOp != nullptr) {
    ConsoleOutput.transferOp(ConsoleOutput);
  }
}

}  // namespace

const UnitEntry ProgramUnitTable[ProgramUnitCount] = {
    {nullptr, nullptr}, {InitialiseBaseRuntime, FinaliseBaseRuntime},
    {nullptr, nullptr}, {nullptr, nullptr},
    {nullptr, nullptr}, {InstallExceptionSupport, RemoveExceptionSupport},
    {nullptr, nullptr},
};

void ConnectProgramLifetime() {
  if (UnitTable == nullptr) {
    UnitTable = ProgramUnitTable;
    UnitCount = ProgramUnitCount;
  }
  ExitHooks = ExitHookPair{WritePendingOutput, UnregisterProgramModule};
}

namespace {
// The program's units and exit hooks are in place before anything runs, so that ExitProgram
// works the same whoever calls it.
const bool ProgramLifetimeConnected = (ConnectProgramLifetime(), true);
}  // namespace

bool KeyboardTestHolds() {
  if (platform::GetKeyboardType(0) != 7) return false;
  const int subtype = platform::GetKeyboardType(1) & 0xFF00;
  return subtype == 0x0D00 || subtype == 0x0400;
}

void ApplyFpuMaskOverride(const FpuMaskRegistryCalls& registry) {
  uint32_t value = DefaultFpuControlWord;
  platform::HKEY key = 0;
  if (registry.openKey(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\Quenlor\\Vantro\\RTL", 0,
                       platform::KEY_QUERY_VALUE,
                       &key) == static_cast<platform::LONG>(platform::ERROR_SUCCESS)) {
    // Whatever the query leaves in the four bytes is taken, whatever its result and type.
    unsigned char data[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    platform::DWORD size = sizeof data;
    try {
      registry.queryValue(key, "FPUMaskValue", nullptr, nullptr, data, &size);
    } catch (...) {
      registry.closeKey(key);
      throw;
    }
    registry.closeKey(key);
    value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
            static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  }
  DefaultFpuControlWord =
      static_cast<uint16_t>((DefaultFpuControlWord & 0xFFC0u) | (value & 0x003Fu));
}

void ApplyFpuMaskOverride() {
  const FpuMaskRegistryCalls registry{platform::RegOpenKeyExA, platform::RegQueryValueExA,
                                      platform::RegCloseKey};
  ApplyFpuMaskOverride(registry);
}

namespace {

void (*MainRoutine)() = nullptr;
platform::EXCEPTION_RECORD CurrentException{};

// Handing-over rounds after which an exception that keeps raising new ones while it is reported
// ends the process with run-time error 217 (pending output and its message still written).
constexpr int MaxHandlingRounds = 64;

void StartProgram() {
  RunUnitInitialisers();
  MainRoutine();
  ExitProgram(0, nullptr);
}

// Set when OutermostHandler declined: the platform takes the exception over.
bool ExceptionDeclined = false;

void HandleCurrentException() {
  if (OutermostHandler(CurrentException) == 0) ExceptionDeclined = true;
}

// A C++ exception that is not one of ours (the allocator's own std::bad_alloc, or a library's)
// is raised again as ours: out of memory, or a plain object.
__attribute__((noinline)) void RaiseForeignException(bool outOfMemory) {
  if (outOfMemory) RaiseRuntimeError(ReasonOutOfMemory, RETURN_ADDRESS());
  RaiseObject(new TObject, RETURN_ADDRESS());
}

}  // namespace

void ProgramEntry(void (*mainRoutine)()) {
  ConsoleProgramFlag = 1;
  ConnectProgramLifetime();
  ProgramModule = platform::GetModuleHandleA(nullptr);
  RegisterProgramModule(ProgramModule);
  platform::InstallFaultHandlers();
  MainRoutine = mainRoutine;

  // The outermost frame: every exception ends here and is handed to OutermostHandler, under the
  // same protection, so that an exception raised while one is reported is reported in its turn.
  for (int round = 0; round < MaxHandlingRounds; ++round) {
    try {
      try {
        CallWithFaultsRaised(round == 0 ? StartProgram : HandleCurrentException);
      } catch (const RaisedException&) {
        throw;
      } catch (const std::bad_alloc&) {
        RaiseForeignException(true);
      } catch (...) {
        RaiseForeignException(false);
      }
    } catch (const RaisedException& raised) {
      CurrentException = raised.record;
      continue;
    }
    break;  // the handler declined
  }
  if (ExceptionDeclined) {
    // Raised again outside every frame of the program: the platform ends the process (or its
    // debugger takes over). Where it cannot, nothing else is left to take the exception.
    platform::PassToPlatform(CurrentException);
    ExitProgram(217, CurrentException.ExceptionAddress);
  }
  // Every round raised anew while the last one was reported: give up, but not silently.
  AbandonProgram(217, CurrentException.ExceptionAddress);
}
