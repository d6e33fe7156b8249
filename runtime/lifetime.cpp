#include "runtime/lifetime.h"

#include <new>

#include "platform/console_files.h"
#include "platform/faults.h"
#include "platform/modules.h"
#include "platform/system.h"
#include "runtime/exception_report.h"
#include "runtime/exception_support.h"
#include "runtime/exceptions.h"
#include "runtime/fpu_control.h"
#include "runtime/message_text.h"
#include "runtime/runtime_error.h"
#include "textio/text_stream.h"

uint8_t ConsoleProgramFlag = 0;
int32_t ProcessExitCode = 0;
uintptr_t RuntimeErrorAddress = 0;
char RuntimeErrorMessage[30] = "Runtime error     at 00000000";
platform::HMODULE ProgramModule = 0;
int32_t InitialisedUnitCount = 0;

namespace {

constexpr int CodeFieldLast = 16;
constexpr int CodeFieldFirst = 13;
constexpr int AddressFieldLast = 28;
constexpr int AddressFieldFirst = 21;
constexpr int RuntimeErrorMessageBytes = 30;  // the zero byte is written too

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

void FinaliseBaseRuntime() {
  CloseTextStream(ConsoleInput);
  CloseTextStream(ConsoleOutput);
  CloseTextStream(ConsoleErrorOutput);
  std::set_new_handler(nullptr);
}

void WriteRuntimeErrorMessage() {
  if (ConsoleOutput.mode == ModeOutput && ConsoleOutput.bufferPos > 0 &&
      ConsoleOutput.transferOp != nullptr) {
    ConsoleOutput.transferOp(ConsoleOutput);  // a failure here is not recorded
  }
  const platform::HANDLE output = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
  platform::DWORD written = 0;
  platform::WriteFile(output, RuntimeErrorMessage, RuntimeErrorMessageBytes, &written);
  platform::WriteFile(output, "\r\n", 2, &written);
}

}  // namespace

const TUnitEntry ProgramUnitTable[ProgramUnitCount] = {
    {nullptr, nullptr},
    {InitialiseBaseRuntime, FinaliseBaseRuntime},
    {nullptr, nullptr},
    {nullptr, nullptr},
    {nullptr, nullptr},
    {InstallExceptionSupport, RemoveExceptionSupport},
    {nullptr, nullptr},
};
const TUnitEntry* UnitTable = ProgramUnitTable;
int32_t UnitCount = ProgramUnitCount;

void RunUnitInitialisers() {
  try {
    for (int32_t position = 1; position <= UnitCount; ++position) {
      InitialisedUnitCount = position;
      void (*initialiser)() = UnitTable[position - 1].initialiser;
      if (initialiser != nullptr) CallWithFaultsRaised(initialiser);
    }
  } catch (...) {
    RunUnitFinalisers();
    throw;
  }
}

void RunUnitFinalisers() {
  try {
    while (InitialisedUnitCount > 0) {
      --InitialisedUnitCount;
      void (*finaliser)() = UnitTable[InitialisedUnitCount].finaliser;
      if (finaliser != nullptr) CallWithFaultsRaised(finaliser);
    }
  } catch (...) {
    RunUnitFinalisers();
    throw;
  }
}

bool KeyboardTestHolds() {
  if (platform::GetKeyboardType(0) != 7) return false;
  const int subtype = platform::GetKeyboardType(1) & 0xFF00;
  return subtype == 0x0D00 || subtype == 0x0400;
}

void ApplyFpuMaskOverride(const FpuMaskRegistryCalls& registry) {
  uint32_t value = DefaultFpuControlWord;
  platform::HKEY key = 0;
  if (registry.openKey(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\Quenlor\\Vantro\\RTL", 0,
                       platform::KEY_QUERY_VALUE, &key) == static_cast<platform::LONG>(
                                                               platform::ERROR_SUCCESS)) {
    // Whatever the query leaves in the four bytes is taken, whatever its result and type.
    unsigned char data[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                             static_cast<unsigned char>(value >> 16),
                             static_cast<unsigned char>(value >> 24)};
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

void BuildRuntimeErrorMessage(int32_t code, uintptr_t address) {
  // Fresh fields each time, so that a second message never shows digits of the first.
  for (int i = CodeFieldFirst; i <= CodeFieldLast; ++i) RuntimeErrorMessage[i] = ' ';
  for (int i = AddressFieldFirst; i <= AddressFieldLast; ++i) RuntimeErrorMessage[i] = '0';

  uint32_t value = static_cast<uint32_t>(code);
  int position = CodeFieldLast;
  do {
    RuntimeErrorMessage[position--] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && position >= CodeFieldFirst);

  static constexpr char HexDigits[] = "0123456789ABCDEF";
  position = AddressFieldLast;
  while (address != 0 && position >= AddressFieldFirst) {
    RuntimeErrorMessage[position--] = HexDigits[address & 0xF];
    address >>= 4;
  }
}

uintptr_t RuntimeErrorDisplayAddress(uintptr_t address) {
  platform::MEMORY_BASIC_INFORMATION region{};
  if (address != 0 &&
      platform::VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) != 0 &&
      region.State == platform::MEM_COMMIT) {
    return address - reinterpret_cast<uintptr_t>(region.AllocationBase);
  }
  return address;
}

void ExitProgram(int32_t code, const void* address) {
  ProcessExitCode = code;
  RuntimeErrorAddress = reinterpret_cast<uintptr_t>(address);
  if (RuntimeErrorAddress != 0) {
    BuildRuntimeErrorMessage(ProcessExitCode, RuntimeErrorDisplayAddress(RuntimeErrorAddress));
    WriteRuntimeErrorMessage();
    RuntimeErrorAddress = 0;
  }
  RunUnitFinalisers();
  UnregisterProgramModule();
  platform::RemoveFaultHandlers();
  platform::ExitProcess(static_cast<platform::UINT>(ProcessExitCode));
}

namespace {

void (*MainRoutine)() = nullptr;
platform::EXCEPTION_RECORD CurrentException{};

// Handing-over rounds after which an exception that keeps raising new ones while it is reported
// ends the process without further output.
constexpr int MaxHandlingRounds = 64;

void StartProgram() {
  RunUnitInitialisers();
  MainRoutine();
  ExitProgram(0, nullptr);
}

void HandleCurrentException() {
  OutermostHandler(CurrentException);
  // Declined: nothing else is left to take the exception.
  ExitProgram(217, CurrentException.ExceptionAddress);
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
    }
  }
  platform::RemoveFaultHandlers();
  platform::ExitProcess(217);
}
