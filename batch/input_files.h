// The inputs of a run: opened once each before anything is written, so that a run never stops
// half-way because of a mistyped name.
#pragma once

#include <cstddef>

#include "platform/files.h"

namespace batch {

// The input of that name for reading ("-": standard input); INVALID_HANDLE_VALUE when it does not
// open (the system's error is then the last error).
platform::HANDLE OpenInput(const char* name);

// Opens every input, with a message for each one that does not open; false when any did not.
// Files on disk are closed again and opened when their turn comes, so that any number of them
// can be named; pipes and devices, which cannot be opened twice for the same data, stay open in
// keptOpen[i] (INVALID_HANDLE_VALUE for the others).
bool OpenEveryInput(const char* const* names, size_t count, platform::HANDLE* keptOpen);

}  // namespace batch
