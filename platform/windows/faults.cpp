// Faults on Windows: the system delivers them as exception records already. The guard is a
// frame on the thread's own handler chain (fault_guard.cpp), so a fault that a system DLL handles
// for itself never reaches it, and nothing has to be installed for the whole process.
//
// Taken: access violations (read, write, execute), stack overflow, illegal and privileged
// instructions, integer division by zero and overflow, every x87 status (denormal, division by
// zero, inexact, invalid operation, overflow, stack check, underflow), array bounds,
// misalignment and in-page errors. The record's ExceptionAddress is the faulting instruction;
// for an x87 fault that is the instruction that caused it, as the unit recorded it.
#include "platform/faults.h"

#include "win32_api.h"

namespace platform {
namespace {

bool Installed = false;

}  // namespace

void InstallFaultHandlers() {
  if (!Installed) win32::ReserveStackForFaults();
  Installed = true;
}

void RemoveFaultHandlers() { Installed = false; }

bool FaultHandlersInstalled() { return Installed; }

bool CallWithFaultGuard(void (*routine)(void* context), void* context, EXCEPTION_RECORD& fault) {
  return win32::CallWithFrameHandler(routine, context, &fault, sizeof fault);
}

LONG (*UnhandledExceptionFilterOverride)(const EXCEPTION_RECORD& record) = nullptr;

void DispatchRaisedObject(const EXCEPTION_RECORD& record) {
  win32::DispatchRaised(&record, sizeof record);
}

LONG UnhandledExceptionFilter(const EXCEPTION_RECORD& record) {
  if (UnhandledExceptionFilterOverride != nullptr) return UnhandledExceptionFilterOverride(record);
  return static_cast<LONG>(win32::AskUnhandledExceptionFilter(&record, sizeof record));
}

void PassToPlatform(const EXCEPTION_RECORD& record) {
  win32::RaiseToSystem(&record, sizeof record);
}

}  // namespace platform
