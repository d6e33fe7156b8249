// The report of an unhandled exception: its text, its limit, and what reaches which handle.
#include "runtime/exception_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/lifetime.h"
#include "address_rules.h"
#include "platform/faults.h"
#include "platform/modules.h"
#include "support/fake_console.h"
#include "support/program_name.h"
#include "textio/text_stream.h"
#include "textio/write_values.h"
#include "unit/runtime/raised.h"
#include "support/case_names.h"

namespace {

using runtime_test::Catch;

std::string Hex8(uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(value));
  return text;
}

// An address inside this test program and the report address it should show.
const void* CodeAddress() { return reinterpret_cast<const char*>(&Hex8) + 3; }
std::string RelativeCodeAddress() {
  platform::MEMORY_BASIC_INFORMATION region{};
  platform::VirtualQuery(CodeAddress(), &region, sizeof region);
  return Hex8(reinterpret_cast<uintptr_t>(CodeAddress()) -
              reinterpret_cast<uintptr_t>(region.AllocationBase));
}

std::string Report(TObject* object, const void* address, size_t limit = ExceptionReportLimit) {
  std::string buffer(limit + 1, '#');
  const size_t length = FormatExceptionReport(object, address, buffer.data(), limit);
  EXPECT_EQ(buffer[length], '\0');
  return buffer.substr(0, length);
}

class ReportText : public runtime_test::WithExceptionSupport {};

struct MessageCase {
  const char* message;
  const char* secondLine;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << '"' << c.message << '"'; }

class ReportMessages : public ReportText, public testing::WithParamInterface<MessageCase> {};

TEST_P(ReportMessages, SecondLineIsTheMessageWithAFullStop) {
  Exception error(GetParam().message);
  EXPECT_EQ(Report(&error, CodeAddress()),
            "Exception Exception in module " + test_support::UnitTestsModule + " at " +
                RelativeCodeAddress() + ".\r\n" + GetParam().secondLine + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ReportMessages,
    testing::Values(MessageCase{"Invalid numeric input", "Invalid numeric input."},
                    MessageCase{"Ends with a dot.", "Ends with a dot."}, MessageCase{"", ""},
                    MessageCase{".", "."}, MessageCase{"Two dots..", "Two dots.."}),
    test_support::IndexedCaseName{});

TEST_F(ReportText, MessageEndsAtItsFirstZeroCharacter) {
  Exception error(std::string("visible\0hidden", 14));
  EXPECT_EQ(Report(&error, CodeAddress()), "Exception Exception in module " +
                                               test_support::UnitTestsModule + " at " +
                                               RelativeCodeAddress() + ".\r\nvisible.\r\n");
}

TEST_F(ReportText, ObjectThatIsNotAnExceptionHasNoMessage) {
  TObject object;
  EXPECT_EQ(Report(&object, CodeAddress()), "Exception TObject in module " +
                                                test_support::UnitTestsModule + " at " +
                                                RelativeCodeAddress() + ".\r\n\r\n");
}

TEST_F(ReportText, ClassNameIsTheObjectsOwn) {
  EZeroDivide error("Floating point division by zero");
  EXPECT_EQ(Report(&error, CodeAddress()),
            "Exception EZeroDivide in module " + test_support::UnitTestsModule + " at " +
                RelativeCodeAddress() + ".\r\nFloating point division by zero.\r\n");
}

// Outside every module: the program's own file, the address minus 4096, and 0 stays 0.
TEST_F(ReportText, AddressOutsideEveryModule) {
  Exception error("x");
  EXPECT_EQ(Report(&error, nullptr), "Exception Exception in module " +
                                         test_support::UnitTestsModule + " at 00000000.\r\nx.\r\n");
  EXPECT_EQ(
      Report(&error, reinterpret_cast<const void*>(uintptr_t{0x5000})),
      "Exception Exception in module " + test_support::UnitTestsModule + " at 00004000.\r\nx.\r\n");
}

TEST_F(ReportText, TextIsCutAtTheLimit) {
  Exception error(std::string(2000, 'm'));
  const std::string head = "Exception Exception in module " + test_support::UnitTestsModule +
                           " at " + RelativeCodeAddress() + ".\r\n";
  const std::string text = Report(&error, CodeAddress());
  ASSERT_EQ(text.size(), 1024u);
  EXPECT_EQ(text, head + std::string(1024 - head.size(), 'm'));
  EXPECT_EQ(Report(&error, CodeAddress(), 10), "Exception ");
}

class ReportWriting : public runtime_test::WithExceptionSupport {
 protected:
  void TearDown() override {
    TakePendingIoError();
    WithExceptionSupport::TearDown();
  }
};

TEST_F(ReportWriting, PendingOutputGoesFirstThenTheReportToStandardError) {
  fake::FakeConsole console;
  console.fileType[1] = platform::FILE_TYPE_PIPE;
  fake::InstallFakeConsole installed(console);
  ConsoleOutput.mode = ModeClosed;
  WriteStringValue(ConsoleOutput, "prompt: ", 0);
  Exception error("Invalid numeric input");
  WriteExceptionReport(&error, CodeAddress());
  ASSERT_EQ(console.writes.size(), 3u);
  EXPECT_EQ(console.writes[0].handle, fake::OutputHandle);
  EXPECT_EQ(console.writes[0].bytes, "prompt: ");
  EXPECT_EQ(console.writes[1].handle, fake::ErrorHandle);
  EXPECT_EQ(console.writes[1].bytes, "Exception Exception in module " +
                                         test_support::UnitTestsModule + " at " +
                                         RelativeCodeAddress() + ".\r\nInvalid numeric input.\r\n");
  EXPECT_EQ(console.writes[2].handle, fake::ErrorHandle);
  EXPECT_EQ(console.writes[2].bytes, "\r\n");
}

TEST_F(ReportWriting, FailedWriteOfPendingOutputRaisesItsOwnError) {
  fake::FakeConsole console;
  console.fileType[1] = platform::FILE_TYPE_PIPE;
  console.AddWriteResult(platform::ERROR_NO_DATA);
  fake::InstallFakeConsole installed(console);
  ConsoleOutput.mode = ModeClosed;
  WriteStringValue(ConsoleOutput, "prompt: ", 0);
  Exception error("first");
  const runtime_test::Raised raised = Catch([&] { WriteExceptionReport(&error, CodeAddress()); });
  ASSERT_TRUE(raised.raised);
  ASSERT_TRUE(IsInstanceOf<EInOutError>(raised.object));
  EXPECT_EQ(static_cast<EInOutError*>(raised.object)->IoErrorCode, 232);
  EXPECT_EQ(runtime_test::MessageOf(raised.object), "I/O error 232");
  EXPECT_EQ(console.Written(fake::ErrorHandle), "");
  delete raised.object;
  // Reported in its turn: the buffer is empty now and the code taken, so the report goes out.
  Exception second("second");
  WriteExceptionReport(&second, nullptr);
  EXPECT_EQ(console.Written(fake::ErrorHandle), "Exception Exception in module " +
                                                    test_support::UnitTestsModule +
                                                    " at 00000000.\r\nsecond.\r\n\r\n");
}

TEST_F(ReportWriting, UnhandledExceptionEndsWithExitCodeOne) {
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  Exception error("gone");
  EXPECT_EQ(fake::ExitCodeOf([&] { ReportUnhandledException(&error, nullptr); }), 1u);
  EXPECT_EQ(console.Written(fake::OutputHandle), "");  // no run-time error message
  EXPECT_EQ(console.Written(fake::ErrorHandle), "Exception Exception in module " +
                                                    test_support::UnitTestsModule +
                                                    " at 00000000.\r\ngone.\r\n\r\n");
}

// The outermost handler: what it does with a raised object and with a platform fault, with and
// without the exception support.
class Outermost : public testing::Test {
 protected:
  void TearDown() override { RemoveExceptionSupport(); }
  platform::EXCEPTION_RECORD Raise(TObject* object) {
    return Catch([&] { RaiseObject(object, CodeAddress()); }).record;
  }
};

TEST_F(Outermost, DeclinesWhileUnwinding) {
  platform::EXCEPTION_RECORD record{};
  record.ExceptionFlags = platform::EXCEPTION_UNWINDING;
  EXPECT_EQ(OutermostHandler(record), 0);
  record.ExceptionFlags = platform::EXCEPTION_EXIT_UNWIND;
  EXPECT_EQ(OutermostHandler(record), 0);
}

TEST_F(Outermost, ReportsARaisedObjectAtItsRaiseAddress) {
  InstallExceptionSupport();
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  Exception error("raised");
  platform::EXCEPTION_RECORD record = Raise(&error);
  EXPECT_THROW(OutermostHandler(record), fake::ProcessExit);
  EXPECT_EQ(console.Written(fake::ErrorHandle), "Exception Exception in module " +
                                                    test_support::UnitTestsModule + " at " +
                                                    RelativeCodeAddress() + ".\r\nraised.\r\n\r\n");
}

TEST_F(Outermost, ReportsAPlatformFaultThroughTheFaultObject) {
  InstallExceptionSupport();
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  platform::EXCEPTION_RECORD record{};
  record.ExceptionCode = platform::EXCEPTION_FLT_DIVIDE_BY_ZERO;
  record.ExceptionAddress = const_cast<void*>(CodeAddress());
  EXPECT_THROW(OutermostHandler(record), fake::ProcessExit);
  EXPECT_EQ(console.Written(fake::ErrorHandle),
            "Exception EZeroDivide in module " + test_support::UnitTestsModule + " at " +
                RelativeCodeAddress() + ".\r\nFloating point division by zero.\r\n\r\n");
}

// The platform's last-chance filter: answering EXCEPTION_CONTINUE_SEARCH gives the exception to
// the platform (a debugger), so the handler declines without a word; any other answer lets the
// report be made. It is not asked while an unwind passes.
class OutermostWithFilter : public Outermost {
 protected:
  void SetUp() override {
    InstallExceptionSupport();
    asked.clear();
    platform::UnhandledExceptionFilterOverride = Filter;
  }
  void TearDown() override {
    platform::UnhandledExceptionFilterOverride = nullptr;
    Outermost::TearDown();
  }
  static platform::LONG Filter(const platform::EXCEPTION_RECORD& record) {
    asked.push_back(record.ExceptionCode);
    return answer;
  }
  static inline platform::LONG answer = 0;
  static inline std::vector<platform::DWORD> asked;
};

TEST_F(OutermostWithFilter, AnswerZeroMeansNoReport) {
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  answer = platform::EXCEPTION_CONTINUE_SEARCH;
  Exception error("raised");
  platform::EXCEPTION_RECORD record = Raise(&error);
  EXPECT_EQ(OutermostHandler(record), 0);
  platform::EXCEPTION_RECORD fault{};
  fault.ExceptionCode = platform::EXCEPTION_FLT_DIVIDE_BY_ZERO;
  fault.ExceptionAddress = const_cast<void*>(CodeAddress());
  EXPECT_EQ(OutermostHandler(fault), 0);
  EXPECT_EQ(asked, (std::vector<platform::DWORD>{ObjectExceptionStatus,
                                                 platform::EXCEPTION_FLT_DIVIDE_BY_ZERO}));
  EXPECT_EQ(console.Written(fake::ErrorHandle), "");
  EXPECT_EQ(console.Written(fake::OutputHandle), "");

  record.ExceptionFlags |= platform::EXCEPTION_UNWINDING;
  EXPECT_EQ(OutermostHandler(record), 0);
  EXPECT_EQ(asked.size(), 2u);
}

TEST_F(OutermostWithFilter, AnyOtherAnswerLetsTheReportBeMade) {
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  answer = platform::EXCEPTION_EXECUTE_HANDLER;
  Exception error("raised");
  platform::EXCEPTION_RECORD record = Raise(&error);
  EXPECT_THROW(OutermostHandler(record), fake::ProcessExit);
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(console.Written(fake::ErrorHandle), "Exception Exception in module " +
                                                    test_support::UnitTestsModule + " at " +
                                                    RelativeCodeAddress() + ".\r\nraised.\r\n\r\n");
}

TEST_F(Outermost, WithoutSupportARaisedObjectEndsWithRuntimeError217) {
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  Exception error("late");
  platform::EXCEPTION_RECORD record = Raise(&error);
  EXPECT_EQ(fake::ExitCodeOf([&] { OutermostHandler(record); }), 217u);
  // The platform's way of showing the raise address: the address itself (32-bit Windows), or
  // relative to its module where 64-bit addresses do not fit.
  const std::string shown =
      platform::RuntimeErrorShowsAbsoluteAddress
          ? Hex8(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(CodeAddress())))
          : RelativeCodeAddress();
  EXPECT_EQ(console.Written(fake::OutputHandle),
            "Runtime error 217 at " + shown + std::string(1, '\0') + "\r\n");
  EXPECT_EQ(console.Written(fake::ErrorHandle), "");
}

TEST_F(Outermost, WithoutSupportAFaultWithoutRowEndsWithRuntimeError255) {
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  platform::EXCEPTION_RECORD record{};
  record.ExceptionCode = platform::EXCEPTION_ILLEGAL_INSTRUCTION;
  record.ExceptionAddress = reinterpret_cast<void*>(uintptr_t{0x00AB12CD});
  EXPECT_EQ(fake::ExitCodeOf([&] { OutermostHandler(record); }), 255u);
  EXPECT_EQ(console.Written(fake::OutputHandle),
            "Runtime error 255 at 00AB12CD" + std::string(1, '\0') + "\r\n");
}

}  // namespace
