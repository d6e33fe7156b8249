// The messages of framecalc-batch itself (not of a record) on standard error, written at once and
// unbuffered: a file that cannot be opened or read, an output that cannot be written, a usage
// error. The texts of the system's errors are the run-time's own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "batch/result_output.h"
#include "platform/files.h"

namespace batch {

// The room for one of the run-time's texts, terminator included.
constexpr int TextSize = 256;

// The standard output and error of the run (set once at the start).
extern platform::HANDLE StandardOutput;
extern platform::HANDLE StandardError;

// All of `data` to the handle at `context` (a platform::HANDLE*); false when a write fails.
bool WriteToHandle(void* context, const char* data, size_t size);

// "framecalc-batch: SUBJECT: MESSAGE" (without "SUBJECT: " when it is null).
void SayProblem(const char* subject, const char* message);

// The run-time's text of the string table entry `id` into `buffer` (TextSize bytes; empty when
// the table lacks it).
void LoadText(uint32_t id, char* buffer);

// A file's problem, in the run-time's words for the system's error `code`.
void SayFileProblem(const char* name, platform::DWORD code);

// A write of the results failed. When part of a line reached the output and could not be taken
// back, the message says which line is the last complete one.
void SayOutputProblem(const ResultOutput& results);

// "framecalc-batch: MESSAGE 'ARGUMENT'" and the hint to --help; ends the run with ExitTrouble.
[[noreturn]] void UsageError(const char* message, const char* argument);

}  // namespace batch
