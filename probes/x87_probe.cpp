// x87-probe: tells whether the x87 of the machine that runs it keeps the two details that the
// fault reports and some tests rely on (probes/x87_fidelity.h). Two lines on standard output:
//
//   control-word: faithful|deviates: FINDING
//   instruction-pointer: faithful|deviates: FINDING
//
// Exit code 0 whatever it finds. The test suites run it first, through the same runner as the
// programs under test, and skip a test that needs a detail only where this finds it missing.
#include <cstdio>

#include "x87_fidelity.h"

namespace {

void Report(const char* aspect, const x87fidelity::Finding& finding) {
  std::printf("%s: %s: %s\n", aspect, finding.faithful ? "faithful" : "deviates",
              finding.text.c_str());
}

}  // namespace

int main() {
  Report("control-word", x87fidelity::ProbeControlWord());
  Report("instruction-pointer", x87fidelity::ProbeInstructionPointer());
  return std::fflush(stdout) == 0 ? 0 : 1;
}
