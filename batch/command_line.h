// framecalc-batch's command line: its options and the names of its inputs.
#pragma once

#include <cstddef>

#include "batch/output_buffer.h"
#include "batch/record_processor.h"

namespace batch {

enum class Request { Run, Help, Version };

struct CommandLine {
  Request request = Request::Run;
  OutputFormat format;
  ReadOptions read;
  const char* const* names = nullptr;  // the inputs in their order ("-": standard input)
  size_t inputCount = 0;               // at least 1 for a run
};

// The options and inputs of argv (whose front the names are gathered in). A usage error ends the
// run with its message; --help and --version end the reading where they stand.
CommandLine ReadCommandLine(int argc, char** argv);

// Whether an input's name stands for standard input.
bool IsStandardInput(const char* name);

}  // namespace batch
