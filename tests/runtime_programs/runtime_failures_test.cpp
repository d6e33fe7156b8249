// Runs the failure program once per scenario and checks the exact bytes on standard output and
// standard error and the exit code. Addresses are matched by their form; where the program
// announces the address it raises at, the report must show exactly that one.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/program_runner.h"

namespace {

// Literal text with placeholders:
//   {A}  an address of 8 upper-case hexadecimal digits
//   {P}  an absolute address: 8 to 16 upper-case hexadecimal digits
//   {K}  the address the program announced on standard output (relative to its image)
//   {R}  the same address as the "Runtime error" message shows it: the absolute 32-bit address
//        for a Windows program, the announced one otherwise
//   {M}  the program's module name
//   {X}  the operation text of a call through a null pointer: Windows records it as an execute
//        access (8), which reads as "Write"; Linux records the fetch as a read
//   {0}  a zero byte
std::string Pattern(const std::string& text, const std::string& announced) {
  std::string pattern;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "{R}") == 0) {
      pattern += e2e::RuntimeErrorFormOf(announced);
      i += 2;
    } else if (text.compare(i, 3, "{X}") == 0) {
      const std::string module = e2e::ModuleName();
      pattern +=
          module.size() > 4 && module.compare(module.size() - 4, 4, ".exe") == 0 ? "Write" : "Read";
      i += 2;
    } else if (text.compare(i, 3, "{M}") == 0) {
      pattern += e2e::ModulePattern();
      i += 2;
    } else if (text.compare(i, 3, "{A}") == 0) {
      pattern += "[0-9A-F]{8}";
      i += 2;
    } else if (text.compare(i, 3, "{P}") == 0) {
      pattern += "[0-9A-F]{8,16}";
      i += 2;
    } else if (text.compare(i, 3, "{K}") == 0) {
      pattern += announced;
      i += 2;
    } else if (text.compare(i, 3, "{0}") == 0) {
      pattern += "\\x00";
      i += 2;
    } else if (text[i] == '\r') {
      pattern += "\\r";
    } else if (text[i] == '\n') {
      pattern += "\\n";
    } else if (std::string("\\^$.|?*+()[]{}").find(text[i]) != std::string::npos) {
      pattern += '\\';
      pattern += text[i];
    } else {
      pattern += text[i];
    }
  }
  return pattern;
}

struct Scenario {
  const char* name;
  int exitCode;
  const char* out;  // with placeholders; a leading "{K}|" is the announced address
  const char* err;
  e2e::OutputKind output = e2e::OutputKind::Pipe;
  const char* x87Detail = nullptr;  // the x87 detail the expected bytes rely on (x87_fidelity.h)
};

void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

class FailureProgram : public testing::TestWithParam<Scenario> {};

TEST_P(FailureProgram, WritesExactlyThisAndExitsWithThisCode) {
  const Scenario& scenario = GetParam();
  if (scenario.x87Detail != nullptr) {
    const std::string deviation = e2e::X87Deviation(scenario.x87Detail);
    if (!deviation.empty()) GTEST_SKIP() << deviation;
  }
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.arguments = {scenario.name};
  options.output = scenario.output;
  const e2e::RunResult result = e2e::RunProgram(options);

  ASSERT_FALSE(result.timedOut);
  ASSERT_EQ(result.signal, 0) << "ended by a signal";
  EXPECT_EQ(result.exitCode, scenario.exitCode);

  std::string announced;
  std::string out = scenario.out;
  if (out.rfind("{K}|", 0) == 0) {
    ASSERT_GE(result.out.size(), 9u);
    announced = result.out.substr(0, 8);
    ASSERT_TRUE(std::regex_match(announced, std::regex("[0-9A-F]{8}"))) << result.out;
    out = announced + out.substr(3);
  }
  EXPECT_TRUE(std::regex_match(result.out, std::regex(Pattern(out, announced))))
      << "standard output: " << testing::PrintToString(result.out);
  EXPECT_TRUE(std::regex_match(result.err, std::regex(Pattern(scenario.err, announced))))
      << "standard error: " << testing::PrintToString(result.err);
}

const Scenario Scenarios[] = {
    // The buffered rest of redirected output leaves at shutdown.
    {"normal", 0, "left in the buffer", ""},
    // Without the exception support a pending I/O error is a numbered run-time error; pending
    // output comes first, then the 30 bytes of the message (zero byte included) and CR LF.
    {"io-106-no-hook", 106, "pending textRuntime error 106 at {A}{0}\r\n", ""},
    // Code 512 has no low 8 bits; it must not end as a success.
    {"io-512-no-hook", 255, "pending textRuntime error 255 at {A}{0}\r\n", ""},
    {"raise-after-remove", 217, "{K}|Runtime error 217 at {R}{0}\r\n", ""},
    // (The fault's address is the x87 instruction's; a message is printed only for an address.)
    {"fault-after-remove", 200, "Runtime error 200 at {A}{0}\r\n", "", e2e::OutputKind::Pipe,
     "instruction-pointer"},
    // Start-up and shutdown: the failing unit is finalised with the ones before it, the one after
    // it never started; the support is gone by then, so the end is run-time error 217.
    {"init-raises", 217, "{K}|Runtime error 217 at {R}{0}\r\n", "final 7\n"},
    {"init-faults-early", 200, "Runtime error 200 at {A}{0}\r\n", "final 1\n"},
    {"finaliser-raises", 217, "{K}|Runtime error 217 at {R}{0}\r\n", ""},
    // The report of a raised object.
    {"raise-exception", 1, "{K}|",
     "Exception Exception in module {M} at {K}.\r\nSomething broke.\r\n\r\n"},
    {"raise-dot", 1, "{K}|",
     "Exception Exception in module {M} at {K}.\r\nEnds with a dot.\r\n\r\n"},
    {"raise-empty", 1, "{K}|", "Exception Exception in module {M} at {K}.\r\n\r\n\r\n"},
    {"raise-object", 1, "{K}|", "Exception TObject in module {M} at {K}.\r\n\r\n\r\n"},
    {"raise-after-output", 1, "{K}|prompt without line end: ",
     "Exception Exception in module {M} at {K}.\r\nafter output.\r\n\r\n"},
    // Pending output that cannot be written: its EInOutError is reported instead.
    {"quiet-raise-after-output", 1, "",
     "Exception EInOutError in module {M} at {A}.\r\nI/O error 232.\r\n\r\n",
     e2e::OutputKind::BrokenPipe},
    {"quiet-raise-after-output", 1, "",
     "Exception EInOutError in module {M} at {A}.\r\nI/O error 112.\r\n\r\n",
     e2e::OutputKind::DevFull},
    // Platform faults.
    {"x87-zero-divide", 1, "",
     "Exception EZeroDivide in module {M} at {A}.\r\n"
     "Floating point division by zero.\r\n\r\n"},
    {"x87-invalid", 1, "",
     "Exception EInvalidOp in module {M} at {A}.\r\n"
     "Invalid floating point operation.\r\n\r\n"},
    {"x87-overflow", 1, "",
     "Exception EOverflow in module {M} at {A}.\r\nFloating point overflow.\r\n\r\n"},
    {"int-divide", 1, "",
     "Exception EDivByZero in module {M} at {A}.\r\nDivision by zero.\r\n\r\n"},
    {"read-nil", 1, "",
     "Exception EAccessViolation in module {M} at {A}.\r\n"
     "Access violation at address {P} in module '{M}'. Read of address 00000000.\r\n"
     "\r\n"},
    {"write-low", 1, "",
     "Exception EAccessViolation in module {M} at {A}.\r\n"
     "Access violation at address {P} in module '{M}'. Write of address 00000010.\r\n"
     "\r\n"},
    {"call-nil", 1, "",
     "Exception EAccessViolation in module {M} at 00000000.\r\n"
     "Access violation at address 00000000. {X} of address 00000000.\r\n\r\n"},
    {"stack-overflow", 1, "",
     "Exception EStackOverflow in module {M} at {A}.\r\nStack overflow.\r\n\r\n"},
    {"illegal-instruction", 1, "",
     "Exception EExternalException in module {M} at {A}.\r\n"
     "External exception C000001D.\r\n\r\n"},
    {"privileged-instruction", 1, "",
     "Exception EPrivilege in module {M} at {A}.\r\nPrivileged instruction.\r\n\r\n"},
    // 0x1332 as loaded; the x87 reads its reserved bit 6 back as 1.
    {"fpu-control-word", 0, "1372", "", e2e::OutputKind::Pipe, "control-word"},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, FailureProgram, testing::ValuesIn(Scenarios),
                         [](const testing::TestParamInfo<Scenario>& param) {
                           std::string name = param.param.name;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           // (Under Wine a pipe without a reader fails with 233.)
                           if (param.param.output == e2e::OutputKind::BrokenPipe) {
                             name += "_BrokenPipeNotUnderWine";
                           }
                           if (param.param.output == e2e::OutputKind::DevFull) name += "_DiskFull";
                           return name;
                         });

// Out of memory is raised from the allocator, so the report names whichever module holds it.
TEST(FailureProgramMemory, OutOfMemoryEndsAsTheSharedOutOfMemoryReport) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer's operator new aborts instead of calling the new-handler";
#endif
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.arguments = {"out-of-memory"};
  const e2e::RunResult result = e2e::RunProgram(options);
  ASSERT_EQ(result.signal, 0);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(std::regex_match(
      result.err, std::regex("Exception EOutOfMemory in module [^ \\r\\n]+ at [0-9A-F]{8}\\.\\r\\n"
                             "Out of memory\\.\\r\\n\\r\\n")))
      << testing::PrintToString(result.err);
}

// A message longer than the report's 1,024 characters is cut there; the closing CR LF of the
// template is lost, the one written after the text is not.
TEST(FailureProgramReport, LongMessageIsCutAt1024Characters) {
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.arguments = {"raise-long"};
  const e2e::RunResult result = e2e::RunProgram(options);
  EXPECT_EQ(result.exitCode, 1);
  ASSERT_EQ(result.out.size(), 9u);
  const std::string head = "Exception Exception in module " + e2e::ModuleName() + " at " +
                           result.out.substr(0, 8) + ".\r\n";
  ASSERT_EQ(result.err.size(), 1024u + 2u);
  EXPECT_EQ(result.err.substr(0, head.size()), head);
  EXPECT_EQ(result.err.substr(head.size(), 1024 - head.size()),
            std::string(1024 - head.size(), 'x'));
  EXPECT_EQ(result.err.substr(1024), "\r\n");
}

}  // namespace
