// The framecalc-batch under test: this build's, or the one named by FRAMECALC_BATCH_PROGRAM in
// the environment (a cross build's, started through FRAMECALC_PROGRAM_RUNNER).
#pragma once

#include <cstdlib>
#include <string>

inline std::string BatchProgramPath() {
  const char* other = std::getenv("FRAMECALC_BATCH_PROGRAM");
  return other != nullptr && other[0] != '\0' ? other : FRAMECALC_BATCH_PROGRAM;
}
