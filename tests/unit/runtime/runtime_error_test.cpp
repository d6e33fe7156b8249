// Run-time error reasons, platform statuses and I/O codes: the classes, messages and run-time
// error codes they turn into, with and without the exception support.
#include "baseruntime/runtime_error.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/exception_support.h"
#include "path_rules.h"
#include "runtime/lifetime.h"
#include "support/fake_console.h"
#include "support/program_name.h"
#include "textio/text_stream.h"
#include "unit/runtime/raised.h"
#include "support/case_names.h"

namespace {

using runtime_test::Catch;
using runtime_test::MessageOf;

const void* const SomeAddress = reinterpret_cast<const void*>(uintptr_t{0x00AB12CD});

struct ReasonCase {
  uint8_t reason;
  const char* className;
  const char* message;
  int code;
};

const ReasonCase Reasons[] = {
    {1, "EOutOfMemory", "Out of memory", 203},
    {2, "EInvalidPointer", "Invalid pointer operation", 204},
    {3, "EDivByZero", "Division by zero", 200},
    {4, "ERangeError", "Range check error", 201},
    {5, "EIntOverflow", "Integer overflow", 215},
    {6, "EInvalidOp", "Invalid floating point operation", 207},
    {7, "EZeroDivide", "Floating point division by zero", 200},
    {8, "EOverflow", "Floating point overflow", 205},
    {9, "EUnderflow", "Floating point underflow", 206},
    {10, "EInvalidCast", "Invalid class typecast", 219},
    {11, "EAccessViolation", "Access violation", 216},
    {12, "EPrivilege", "Privileged instruction", 218},
    {13, "EControlC", "Control-C hit", 217},
    {14, "EStackOverflow", "Stack overflow", 202},
    {15, "EVariantError", "Invalid variant type conversion", 220},
    {16, "EVariantError", "Invalid variant operation", 221},
    {17, "EVariantError", "Variant method calls not supported", 222},
    {18, "EVariantError", "Error creating variant or safe array", 223},
    {19, "EVariantError", "Invalid argument", 224},
    {20, "EVariantError", "Variant or safe array index out of bounds", 225},
    {21, "EAssertionFailed", "Assertion failed", 227},
    {23, "EIntfCastError", "Interface not supported", 228},
    {24, "ESafecallException", "Exception in safecall method", 229},
};

void PrintTo(const ReasonCase& c, std::ostream* os) { *os << "reason " << int(c.reason); }

class ReasonWithSupport : public testing::TestWithParam<ReasonCase> {
 protected:
  void SetUp() override { InstallExceptionSupport(); }
  void TearDown() override { RemoveExceptionSupport(); }
};

TEST_P(ReasonWithSupport, RaisesTheReasonsClassAndMessageAtTheAddress) {
  const ReasonCase& c = GetParam();
  const runtime_test::Raised raised = Catch([&] { RaiseRuntimeError(c.reason, SomeAddress); });
  ASSERT_TRUE(raised.raised);
  ASSERT_NE(raised.object, nullptr);
  EXPECT_STREQ(raised.object->ClassName(), c.className);
  EXPECT_EQ(MessageOf(raised.object), c.message);
  EXPECT_EQ(raised.address, SomeAddress);
  EXPECT_EQ(raised.record.ExceptionFlags, platform::EXCEPTION_NONCONTINUABLE);
  EXPECT_EQ(raised.record.NumberParameters, 7u);
  raised.object->Free();
}

// Only the low 7 bits of the reason count.
TEST_P(ReasonWithSupport, HighBitOfTheReasonIsIgnored) {
  const ReasonCase& c = GetParam();
  const runtime_test::Raised raised =
      Catch([&] { RaiseRuntimeError(static_cast<uint8_t>(c.reason | 0x80), SomeAddress); });
  ASSERT_TRUE(raised.raised);
  EXPECT_STREQ(raised.object->ClassName(), c.className);
  raised.object->Free();
}

INSTANTIATE_TEST_SUITE_P(Reasons, ReasonWithSupport, testing::ValuesIn(Reasons),
                         test_support::PrintedCaseName{});

// Without the support each reason ends the program with its code, shown in the message.
class ReasonWithoutSupport : public testing::TestWithParam<ReasonCase> {};

std::string RuntimeErrorBytes(const char* text) {
  return std::string(text) + std::string(1, '\0') + "\r\n";
}

TEST_P(ReasonWithoutSupport, EndsWithTheReasonsRuntimeErrorCode) {
  const ReasonCase& c = GetParam();
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  EXPECT_EQ(fake::ExitCodeOf([&] { RaiseRuntimeError(c.reason, SomeAddress); }),
            static_cast<platform::UINT>(c.code));
  char expected[40];
  std::snprintf(expected, sizeof expected, "Runtime error %3d at 00AB12CD", c.code);
  EXPECT_EQ(console.Written(fake::OutputHandle), RuntimeErrorBytes(expected));
}

INSTANTIATE_TEST_SUITE_P(Reasons, ReasonWithoutSupport, testing::ValuesIn(Reasons),
                         test_support::PrintedCaseName{});

class SharedObjects : public runtime_test::WithExceptionSupport {};

TEST_F(SharedObjects, OutOfMemoryRaisesTheSameObjectThatSurvivesRelease) {
  const runtime_test::Raised first =
      Catch([] { RaiseRuntimeError(ReasonOutOfMemory, SomeAddress); });
  ASSERT_TRUE(first.raised);
  first.object->Free();  // a handler releasing it: nothing happens
  const runtime_test::Raised second = Catch([] { RaiseRuntimeError(ReasonOutOfMemory, nullptr); });
  EXPECT_EQ(first.object, second.object);
  EXPECT_EQ(second.object, SharedOutOfMemory);
  EXPECT_EQ(MessageOf(second.object), "Out of memory");

  const runtime_test::Raised pointer =
      Catch([] { RaiseRuntimeError(ReasonInvalidPointer, SomeAddress); });
  EXPECT_EQ(pointer.object, SharedInvalidPointer);
}

TEST(ExceptionSupportLifetime, HooksAndSharedObjectsExistOnlyWhileInstalled) {
  EXPECT_EQ(RuntimeErrorHook, nullptr);
  InstallExceptionSupport();
  EXPECT_NE(RuntimeErrorHook, nullptr);
  EXPECT_NE(UnhandledExceptionHook, nullptr);
  EXPECT_NE(FaultObjectHook, nullptr);
  ASSERT_NE(SharedOutOfMemory, nullptr);
  EXPECT_FALSE(SharedOutOfMemory->FreeAllowed);
  RemoveExceptionSupport();
  EXPECT_EQ(RuntimeErrorHook, nullptr);
  EXPECT_EQ(UnhandledExceptionHook, nullptr);
  EXPECT_EQ(FaultObjectHook, nullptr);
  EXPECT_EQ(SharedOutOfMemory, nullptr);
  EXPECT_EQ(SharedInvalidPointer, nullptr);
}

struct IoCase {
  int32_t code;
  const char* message;
};
void PrintTo(const IoCase& c, std::ostream* os) { *os << "code " << c.code; }

class IoErrors : public testing::TestWithParam<IoCase> {
 protected:
  void SetUp() override { InstallExceptionSupport(); }
  void TearDown() override {
    RemoveExceptionSupport();
    TakePendingIoError();
  }
};

TEST_P(IoErrors, PendingCodeBecomesEInOutErrorAndIsTaken) {
  const IoCase& c = GetParam();
  SetPendingIoError(c.code);
  const runtime_test::Raised raised = Catch([] { RaiseRuntimeError(ReasonIoError, SomeAddress); });
  ASSERT_TRUE(raised.raised);
  ASSERT_TRUE(IsInstanceOf<EInOutError>(raised.object));
  EXPECT_STREQ(raised.object->ClassName(), "EInOutError");
  EXPECT_EQ(MessageOf(raised.object), c.message);
  EXPECT_EQ(static_cast<EInOutError*>(raised.object)->IoErrorCode, c.code);
  EXPECT_EQ(PeekPendingIoError(), 0);
  raised.object->Free();
}

INSTANTIATE_TEST_SUITE_P(Codes, IoErrors,
                         testing::Values(IoCase{2, "File not found"}, IoCase{3, "Invalid filename"},
                                         IoCase{4, "Too many open files"},
                                         IoCase{5, "File access denied"},
                                         IoCase{100, "Read beyond end of file"},
                                         IoCase{101, "Disk full"},
                                         IoCase{106, "Invalid numeric input"},
                                         IoCase{105, "I/O error 105"}, IoCase{6, "I/O error 6"},
                                         IoCase{232, "I/O error 232"}, IoCase{-1, "I/O error -1"}),
                         test_support::PrintedCaseName{});

struct PendingExitCase {
  int32_t pending;
  int exitCode;
  const char* message;
};
void PrintTo(const PendingExitCase& c, std::ostream* os) { *os << "pending " << c.pending; }

class PendingIoWithoutSupport : public testing::TestWithParam<PendingExitCase> {
 protected:
  void TearDown() override { TakePendingIoError(); }
};

// The code is the low 8 bits of the pending code, which stays pending.
TEST_P(PendingIoWithoutSupport, EndsWithLowBitsOfThePendingCode) {
  const PendingExitCase& c = GetParam();
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  SetPendingIoError(c.pending);
  EXPECT_EQ(fake::ExitCodeOf([&] { RaiseRuntimeError(ReasonIoError, SomeAddress); }),
            static_cast<platform::UINT>(c.exitCode));
  EXPECT_EQ(console.Written(fake::OutputHandle), RuntimeErrorBytes(c.message));
  EXPECT_EQ(PeekPendingIoError(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, PendingIoWithoutSupport,
    testing::Values(PendingExitCase{106, 106, "Runtime error 106 at 00AB12CD"},
                    PendingExitCase{2, 2, "Runtime error   2 at 00AB12CD"},
                    PendingExitCase{1117, 93, "Runtime error  93 at 00AB12CD"},
                    // No low bits: a failure must not end with the exit code of success.
                    PendingExitCase{512, 255, "Runtime error 255 at 00AB12CD"}),
    test_support::PrintedCaseName{});

struct StatusCase {
  platform::DWORD status;
  uint8_t reason;
  const char* className;
  const char* message;
  int code;
};

const StatusCase Statuses[] = {
    {0xC000008C, 4, "ERangeError", "Range check error", 201},
    {0xC000008D, 9, "EUnderflow", "Floating point underflow", 206},
    {0xC000008E, 7, "EZeroDivide", "Floating point division by zero", 200},
    {0xC000008F, 6, "EInvalidOp", "Invalid floating point operation", 207},
    {0xC0000090, 6, "EInvalidOp", "Invalid floating point operation", 207},
    {0xC0000091, 8, "EOverflow", "Floating point overflow", 205},
    {0xC0000092, 6, "EInvalidOp", "Invalid floating point operation", 207},
    {0xC0000093, 9, "EUnderflow", "Floating point underflow", 206},
    {0xC0000094, 3, "EDivByZero", "Division by zero", 200},
    {0xC0000095, 5, "EIntOverflow", "Integer overflow", 215},
    {0xC0000096, 12, "EPrivilege", "Privileged instruction", 218},
    {0xC00000FD, 14, "EStackOverflow", "Stack overflow", 202},
    {0xC000013A, 13, "EControlC", "Control-C hit", 217},
    {0xC000001D, 22, "EExternalException", "External exception C000001D", 255},
    {0x0000008E, 22, "EExternalException", "External exception 8E", 255},
    {0xE06D7363, 22, "EExternalException", "External exception E06D7363", 255},
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << std::hex << c.status; }

platform::EXCEPTION_RECORD FaultRecord(platform::DWORD status, const void* address) {
  platform::EXCEPTION_RECORD record{};
  record.ExceptionCode = status;
  record.ExceptionAddress = const_cast<void*>(address);
  return record;
}

class PlatformStatuses : public testing::TestWithParam<StatusCase> {
 protected:
  void SetUp() override { InstallExceptionSupport(); }
  void TearDown() override { RemoveExceptionSupport(); }
};

TEST_P(PlatformStatuses, MapToReasonClassAndMessage) {
  const StatusCase& c = GetParam();
  EXPECT_EQ(MapPlatformStatus(c.status), c.reason);
  const platform::EXCEPTION_RECORD record = FaultRecord(c.status, SomeAddress);
  TObject* object = CreateFaultException(&record);
  ASSERT_TRUE(IsInstanceOf<EExternal>(object));
  EXPECT_STREQ(object->ClassName(), c.className);
  EXPECT_EQ(MessageOf(object), c.message);
  EXPECT_EQ(static_cast<EExternal*>(object)->FaultRecord, &record);
  object->Free();
}

TEST_P(PlatformStatuses, WithoutObjectEndWithTheStatusRuntimeErrorCode) {
  const StatusCase& c = GetParam();
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  const platform::EXCEPTION_RECORD record = FaultRecord(c.status, SomeAddress);
  EXPECT_EQ(fake::ExitCodeOf([&] { FaultToRuntimeError(&record); }),
            static_cast<platform::UINT>(c.code));
  char expected[40];
  std::snprintf(expected, sizeof expected, "Runtime error %3d at 00AB12CD", c.code);
  EXPECT_EQ(console.Written(fake::OutputHandle), RuntimeErrorBytes(expected));
}

INSTANTIATE_TEST_SUITE_P(Statuses, PlatformStatuses, testing::ValuesIn(Statuses),
                         test_support::PrintedCaseName{});

platform::EXCEPTION_RECORD AccessViolation(const void* address, uintptr_t write, uintptr_t target) {
  platform::EXCEPTION_RECORD record = FaultRecord(platform::EXCEPTION_ACCESS_VIOLATION, address);
  record.NumberParameters = 2;
  record.ExceptionInformation[0] = write;
  record.ExceptionInformation[1] = target;
  return record;
}

std::string Hex(const void* address) {
  char text[24];
  std::snprintf(text, sizeof text, "%08llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
  return text;
}

class AccessViolations : public runtime_test::WithExceptionSupport {};

TEST_F(AccessViolations, InsideAModuleNamesTheModuleAndTheOperation) {
  // An address inside this test program's own code.
  const void* code = reinterpret_cast<const void*>(&Hex);
  const platform::EXCEPTION_RECORD read = AccessViolation(code, 0, 0);
  TObject* object = CreateFaultException(&read);
  EXPECT_STREQ(object->ClassName(), "EAccessViolation");
  EXPECT_EQ(MessageOf(object), "Access violation at address " + Hex(code) + " in module '" +
                                   test_support::UnitTestsModule + "'. Read of address 00000000");
  object->Free();

  const platform::EXCEPTION_RECORD write = AccessViolation(code, 1, 0x10);
  object = CreateFaultException(&write);
  EXPECT_EQ(MessageOf(object), "Access violation at address " + Hex(code) + " in module '" +
                                   test_support::UnitTestsModule + "'. Write of address 00000010");
  object->Free();
}

TEST_F(AccessViolations, OutsideEveryModuleHasNoModuleName) {
  const platform::EXCEPTION_RECORD record = AccessViolation(nullptr, 0, 0);
  TObject* object = CreateFaultException(&record);
  EXPECT_EQ(MessageOf(object), "Access violation at address 00000000. Read of address 00000000");
  EXPECT_EQ(static_cast<EExternal*>(object)->FaultRecord, &record);
  object->Free();
}

TEST(ModuleNames, FileNamePartOfAPath) {
  EXPECT_EQ(ModuleNameOfPath("/usr/local/bin/framecalc", false), "framecalc");
  // "\\" and a drive's ":" end a directory only on a platform whose paths have them; on Linux
  // they are characters of a file name.
  const bool windowsPaths = platform::IsPathDelimiter('\\');
  EXPECT_EQ(ModuleNameOfPath("C:\\Tools\\CALC.EXE", false),
            windowsPaths ? "CALC.EXE" : "C:\\Tools\\CALC.EXE");
  EXPECT_EQ(ModuleNameOfPath("/opt/frame\\calc", false), windowsPaths ? "calc" : "frame\\calc");
  EXPECT_EQ(ModuleNameOfPath("C:CALC.EXE", false), "C:CALC.EXE");
  EXPECT_EQ(ModuleNameOfPath("C:CALC.EXE", true), windowsPaths ? "CALC.EXE" : "C:CALC.EXE");
  EXPECT_EQ(ModuleNameOfPath("plain", false), "plain");
  EXPECT_EQ(ModuleNameOfPath("/dir/", false), "");
  EXPECT_EQ(ModuleNameOfPath("/" + std::string(300, 'n'), false), std::string(260, 'n'));
}

}  // namespace
