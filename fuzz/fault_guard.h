// The fuzz targets' view of the x87 fault guard, and how they report a broken invariant.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/fpu_fault_guard.h"

namespace fuzzguard {

using fpuguard::Outcome;
using fpuguard::Run;

[[noreturn]] inline void Fail(const char* what, const char* detail) {
  std::fprintf(stderr, "invariant broken: %s (%.300s%s)\n", what, detail,
               std::strlen(detail) > 300 ? "..." : "");
  std::abort();
}

}  // namespace fuzzguard
