// The calculator when its standard output fails: the failure is reported on standard error as
// an EInOutError with the platform's code, and the run ends with exit code 1.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/program_runner.h"

namespace {

struct OutputFailureCase {
  const char* name;
  e2e::OutputKind output;
  const char* input;
  const char* message;  // the report's second line, without its full stop
};

void PrintTo(const OutputFailureCase& c, std::ostream* os) { *os << c.name; }

class OutputFailures : public testing::TestWithParam<OutputFailureCase> {};

TEST_P(OutputFailures, EndInTheReportOfTheOutputError) {
  const OutputFailureCase& c = GetParam();
  e2e::RunOptions options;
  options.program = e2e::ProgramPath();
  options.output = c.output;
  options.stdinBytes = c.input;
  const e2e::RunResult result = e2e::RunProgram(options);
  ASSERT_FALSE(result.timedOut);
  ASSERT_EQ(result.signal, 0) << "ended by a signal";
  EXPECT_EQ(result.exitCode, 1);
  const std::regex report("Exception EInOutError in module " + e2e::ModulePattern() +
                          " at [0-9A-F]{8}\\.\\r\\n" + std::string(c.message) + "\\.\\r\\n\\r\\n");
  EXPECT_TRUE(std::regex_match(result.err, report)) << testing::PrintToString(result.err);
  EXPECT_EQ(result.err.find("Runtime error"), std::string::npos);
}

const char* const WholeRun = "1\n2\n3\n4\nX\n5\n\n";

INSTANTIATE_TEST_SUITE_P(
    Outputs, OutputFailures,
    testing::Values(
        // The first full block cannot be written: the statement's check raises it. (Under Wine
        // a pipe without a reader fails with 233, and a closed output is a usable handle.)
        OutputFailureCase{"PipeWithoutReaderNotUnderWine", e2e::OutputKind::BrokenPipe, WholeRun,
                          "I/O error 232"},
        OutputFailureCase{"FullDisk", e2e::OutputKind::DevFull, WholeRun, "I/O error 112"},
        OutputFailureCase{"ClosedOutputNotUnderWine", e2e::OutputKind::Closed, WholeRun,
                          "I/O error 105"},
        // A mistyped number whose report cannot write out the pending prompt: the report of
        // that write failure replaces the report of the number. (/dev/full is a device, which
        // takes each line at once: there the prompt's own statement fails first.)
        OutputFailureCase{"MistypedNumberWithPipeWithoutReaderNotUnderWine",
                          e2e::OutputKind::BrokenPipe, "12a\n", "I/O error 232"},
        OutputFailureCase{"MistypedNumberWithFullDisk", e2e::OutputKind::DevFull, "12a\n",
                          "I/O error 112"}),
    [](const testing::TestParamInfo<OutputFailureCase>& param) { return param.param.name; });

}  // namespace
