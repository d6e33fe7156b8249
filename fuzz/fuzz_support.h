// What the fuzz targets share: the x87 fault guard (the platform's, through probes/x87_guard.h),
// the report of a broken invariant, and a rough power of ten for their tolerance checks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/faults.h"
#include "probes/x87_guard.h"

namespace fuzzguard {

using x87guard::Outcome;

// Runs body() under the program's control word inside the platform's fault guard (x87guard::Run).
// The platform's fault handlers are installed for the guarded call only and then removed again,
// which gives libFuzzer's and the sanitizers' handlers back: a fault anywhere else is a crash that
// they report, with its input kept.
template <typename Body>
Outcome Run(Body&& body) {
  const bool installedHere = !platform::FaultHandlersInstalled();
  if (installedHere) platform::InstallFaultHandlers();
  const Outcome outcome = x87guard::Run(body);
  if (installedHere) platform::RemoveFaultHandlers();
  return outcome;
}

// 10^k for |k| <= 4950 by binary powers; a few roundings, far inside the tolerances used here.
inline Extended PowerOfTen(int64_t k) {
  Extended result = 1, base = 10;
  for (int64_t e = k < 0 ? -k : k; e != 0; e >>= 1) {
    if (e & 1) result *= base;
    if (e > 1) base *= base;
  }
  return k < 0 ? 1 / result : result;
}

[[noreturn]] inline void Fail(const char* what, const char* detail) {
  std::fprintf(stderr, "invariant broken: %s (%.300s%s)\n", what, detail,
               std::strlen(detail) > 300 ? "..." : "");
  std::abort();
}

}  // namespace fuzzguard
