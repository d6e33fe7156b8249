// The outermost handler and the report of an exception that nothing handles.
#pragma once

#include <cstddef>

#include "platform/faults.h"
#include "runtime/exceptions.h"

inline constexpr size_t ExceptionReportLimit = 1024;

// Takes over an exception that reached the outermost frame: finds the object and its address
// (making an object for a platform fault through FaultObjectHook) and hands them to
// UnhandledExceptionHook; without the exception support it ends the program with a run-time
// error. Returns 0 only when it declines (an unwind in progress); otherwise it does not return.
int OutermostHandler(platform::EXCEPTION_RECORD& record);

// Writes the report to standard error, then ExitProgram with exit code 1.
[[noreturn]] void ReportUnhandledException(TObject* object, const void* address);

// Builds the report text into buffer (at most `limit` characters and a terminating zero, so the
// buffer holds limit + 1) and returns its length.
size_t FormatExceptionReport(TObject* object, const void* address, char* buffer, size_t limit);

// Writes out pending standard output (raising its I/O error if that fails), then the report.
void WriteExceptionReport(TObject* object, const void* address);

// The address as the report shows it, and the path of the module it names: relative to the load
// base of the module that holds it; otherwise the program's own file with the address minus
// 4096 (0 stays 0).
uintptr_t ReportAddressOf(const void* address, char* path, size_t pathSize);
