#include "baseruntime/exit_program.h"

#include <cstring>

#include "platform/console_files.h"
#include "platform/faults.h"
#include "address_rules.h"  // the chosen backend's
#include "platform/modules.h"
#include "baseruntime/raised_exception.h"
#include "baseruntime/runtime_error.h"
#include "numconv/integer_text.h"

uint8_t ConsoleProgramFlag = 0;
int32_t ProcessExitCode = 0;
uintptr_t RuntimeErrorAddress = 0;
char RuntimeErrorMessage[30] = "Runtime error     at 00000000";
int32_t InitialisedUnitCount = 0;
const UnitEntry* UnitTable = nullptr;
int32_t UnitCount = 0;
ExitHookPair ExitHooks{nullptr, nullptr};

namespace {
int32_t ShutdownFailureCode = 0;
const void* ShutdownFailureAddress = nullptr;
}  // namespace

namespace {

constexpr int CodeFieldLast = 16;
constexpr int CodeFieldFirst = 13;
constexpr int AddressFieldLast = 28;
constexpr int AddressFieldFirst = 21;
constexpr int RuntimeErrorMessageBytes = 30;  // the zero byte is written too

void WriteRuntimeErrorMessage() {
  if (ExitHooks.writePendingOutput != nullptr) ExitHooks.writePendingOutput();
  const platform::HANDLE output = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
  platform::DWORD written = 0;
  platform::WriteFile(output, RuntimeErrorMessage, RuntimeErrorMessageBytes, &written);
  platform::WriteFile(output, "\r\n", 2, &written);
}

}  // namespace

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

void BuildRuntimeErrorMessage(int32_t code, uintptr_t address) {
  // Fresh fields each time, so that a second message never shows digits of the first.
  for (int i = CodeFieldFirst; i <= CodeFieldLast; ++i) RuntimeErrorMessage[i] = ' ';

  // The code right-aligned in its field (its lowest digits where it has more than the field).
  char digits[integertext::MaxDigits];
  const size_t count = integertext::WriteDecimal(static_cast<uint32_t>(code), digits);
  constexpr size_t CodeWidth = CodeFieldLast - CodeFieldFirst + 1;
  const size_t shown = count < CodeWidth ? count : CodeWidth;
  std::memcpy(RuntimeErrorMessage + CodeFieldLast + 1 - shown, digits + count - shown, shown);
  integertext::WriteHexField(address, AddressFieldLast - AddressFieldFirst + 1,
                             RuntimeErrorMessage + AddressFieldFirst);
}

uintptr_t RuntimeErrorDisplayAddress(uintptr_t address) {
  if (platform::RuntimeErrorShowsAbsoluteAddress) return address;
  platform::MEMORY_BASIC_INFORMATION region{};
  if (address != 0 &&
      platform::VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) != 0 &&
      region.State == platform::MEM_COMMIT) {
    return address - reinterpret_cast<uintptr_t>(region.AllocationBase);
  }
  return address;
}

void RecordShutdownFailure(int32_t code, const void* address) {
  ShutdownFailureCode = code;
  ShutdownFailureAddress = address;
}

void AbandonProgram(int32_t code, const void* address) {
  ProcessExitCode = code;
  BuildRuntimeErrorMessage(code, RuntimeErrorDisplayAddress(reinterpret_cast<uintptr_t>(address)));
  WriteRuntimeErrorMessage();
  platform::ExitProcess(static_cast<platform::UINT>(code));
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
  const int32_t shutdownFailure = ShutdownFailureCode;
  ShutdownFailureCode = 0;
  if (ProcessExitCode == 0 && shutdownFailure != 0) {
    // The results did not reach their destination: not a success.
    uint8_t failure = static_cast<uint8_t>(shutdownFailure & 0xFF);
    if (failure == 0) failure = UnknownStatusCode;
    ProcessExitCode = failure;
    BuildRuntimeErrorMessage(
        failure, RuntimeErrorDisplayAddress(reinterpret_cast<uintptr_t>(ShutdownFailureAddress)));
    WriteRuntimeErrorMessage();
  }
  if (ExitHooks.releaseModules != nullptr) ExitHooks.releaseModules();
  // The fault handlers end with the process: nothing runs after this call that they could
  // catch, and giving the previous signal actions back first would only cost system calls.
  platform::ExitProcess(static_cast<platform::UINT>(ProcessExitCode));
}
