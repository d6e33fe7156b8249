// The exception support: the hooks that turn run-time errors and platform faults into exception
// objects, the reason, I/O and status tables, and the two shared memory-failure objects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/faults.h"
#include "runtime/exceptions.h"
#include "baseruntime/runtime_error.h"

using UnhandledExceptionHookFunction = void (*)(TObject* object, const void* address);
using FaultObjectHookFunction = TObject* (*)(const platform::EXCEPTION_RECORD* record);

// Empty before InstallExceptionSupport and after RemoveExceptionSupport (as is RuntimeErrorHook);
// an empty hook means that the exception support is not installed.
extern UnhandledExceptionHookFunction UnhandledExceptionHook;
extern FaultObjectHookFunction FaultObjectHook;

extern EOutOfMemory* SharedOutOfMemory;
extern EInvalidPointer* SharedInvalidPointer;

// What a reason stands for when the exception support is installed: its class and its message
// text (its run-time error code is the base run-time's, RuntimeErrorCodeOf).
struct ReasonEntry {
  const ClassInfo* exceptClass;
  Exception* (*create)(std::string_view message);
  uint32_t messageId;
};
inline constexpr uint8_t ReasonCount = 25;
extern const ReasonEntry ReasonTable[ReasonCount];

// A class and its loaded message, one per reason (3..24 are used).
struct TExceptRec {
  const ClassInfo* exceptClass;
  Exception* (*create)(std::string_view message);
  std::string message;
};
extern TExceptRec ExceptMap[ReasonCount];

// An I/O error code and its loaded message.
struct TErrorRec {
  int32_t code;
  uint32_t messageId;
  std::string message;
};
inline constexpr int IoErrorRecordCount = 7;
extern TErrorRec IoErrorMap[IoErrorRecordCount];

// A platform status, its reason and its run-time error code.
struct StatusEntry {
  platform::DWORD status;
  uint8_t reason;
  uint8_t code;
};
inline constexpr int StatusRecordCount = 14;
extern const StatusEntry StatusTable[StatusRecordCount];

void InstallExceptionSupport();
// Reads the reason and I/O messages into ExceptMap and IoErrorMap, once after each
// InstallExceptionSupport, from the module chosen at start-up.
void LoadExceptionTexts();
void RemoveExceptionSupport();

// The RuntimeErrorHook: raises the reason's object at `address`.
[[noreturn]] void RaiseReasonException(uint8_t reason, const void* address);

// A new EInOutError for the pending I/O error code, which it takes (leaving 0 pending).
EInOutError* CreateIoException();
uint8_t MapPlatformStatus(platform::DWORD status);
// The FaultObjectHook: a new EExternal-branch object for a platform fault.
TObject* CreateFaultException(const platform::EXCEPTION_RECORD* record);
EAccessViolation* BuildAccessViolation(const platform::EXCEPTION_RECORD* record);
// Ends the program with the run-time error of the fault's status at the fault's address.
[[noreturn]] void FaultToRuntimeError(const platform::EXCEPTION_RECORD* record);

// The file name part of a path: what follows the platform's last path delimiter (and, on a
// platform with drive letters, ":" where `colonSeparates`), at most 260 characters.
// The buffer in which a module's path is asked for, when only its file name part is shown: large
// enough for any path the platform gives, so that a long path still ends in the module's name.
inline constexpr size_t ModulePathBufferSize = 4096 + 1;

std::string ModuleNameOfPath(std::string_view path, bool colonSeparates);
