// Start-up and shutdown: the run-time error message, ExitProgram, the control-word override and
// the order of unit initialisation and finalisation.
#include "runtime/lifetime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "machine_faults.h"
#include "platform/faults.h"
#include "platform/system.h"
#include "numconv/fpu_control.h"
#include "support/fake_console.h"
#include "textio/text_stream.h"
#include "textio/write_values.h"
#include "unit/runtime/raised.h"
#include "support/case_names.h"

namespace {

using runtime_test::Catch;

std::string MessageBuffer() { return std::string(RuntimeErrorMessage, sizeof RuntimeErrorMessage); }

std::string WithZero(const char* text) { return std::string(text) + std::string(1, '\0'); }

struct MessageCase {
  int32_t code;
  uintptr_t address;
  const char* expected;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.expected; }

class RuntimeErrorMessageBuilding : public testing::TestWithParam<MessageCase> {};

TEST_P(RuntimeErrorMessageBuilding, FillsCodeAndAddressFieldsInPlace) {
  const MessageCase& c = GetParam();
  BuildRuntimeErrorMessage(c.code, c.address);
  EXPECT_EQ(MessageBuffer(), WithZero(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, RuntimeErrorMessageBuilding,
    testing::Values(MessageCase{2, 0x00AB12CD, "Runtime error   2 at 00AB12CD"},
                    MessageCase{106, 0x7FFE0010, "Runtime error 106 at 7FFE0010"},
                    MessageCase{217, 0xFFFFFFFF, "Runtime error 217 at FFFFFFFF"},
                    MessageCase{0, 0, "Runtime error   0 at 00000000"},
                    MessageCase{255, 0x10, "Runtime error 255 at 00000010"},
                    // Values wider than their fields never write outside them (an address is
                    // wider only where pointers have 64 bits).
                    MessageCase{12345, static_cast<uintptr_t>(uint64_t{0x123456789ABCDEF0}),
                                "Runtime error2345 at 9ABCDEF0"},
                    MessageCase{-1, ~uintptr_t{0}, "Runtime error7295 at FFFFFFFF"}),
    test_support::IndexedCaseName{});

// A second message shows none of the first one's digits.
TEST(RuntimeErrorMessageBuilding, SecondMessageStartsFromTheTemplate) {
  BuildRuntimeErrorMessage(106, 0x7FFE0010);
  BuildRuntimeErrorMessage(2, 0x1);
  EXPECT_EQ(MessageBuffer(), WithZero("Runtime error   2 at 00000001"));
}

TEST(ExitProgramPath, WritesPendingOutputThenTheMessageThenExits) {
  fake::FakeConsole console;
  console.fileType[1] = platform::FILE_TYPE_PIPE;  // redirected: the text stays buffered
  fake::InstallFakeConsole installed(console);
  ConsoleOutput.mode = ModeClosed;
  WriteStringValue(ConsoleOutput, "pending", 0);
  ASSERT_TRUE(console.writes.empty());
  EXPECT_EQ(fake::ExitCodeOf(
                [&] { ExitProgram(2, reinterpret_cast<const void*>(uintptr_t{0x00AB12CD})); }),
            2u);
  ASSERT_EQ(console.writes.size(), 3u);
  EXPECT_EQ(console.writes[0].bytes, "pending");
  EXPECT_EQ(console.writes[1].bytes, WithZero("Runtime error   2 at 00AB12CD"));
  EXPECT_EQ(console.writes[2].bytes, "\r\n");
  EXPECT_EQ(RuntimeErrorAddress, 0u);
  EXPECT_EQ(ProcessExitCode, 2);
}

TEST(ExitProgramPath, FailedWriteOfPendingOutputIsNotRecorded) {
  fake::FakeConsole console;
  console.fileType[1] = platform::FILE_TYPE_PIPE;
  console.AddWriteResult(platform::ERROR_NO_DATA);
  fake::InstallFakeConsole installed(console);
  ConsoleOutput.mode = ModeClosed;
  WriteStringValue(ConsoleOutput, "lost", 0);
  EXPECT_EQ(fake::ExitCodeOf(
                [&] { ExitProgram(106, reinterpret_cast<const void*>(uintptr_t{0x7FFE0010})); }),
            106u);
  EXPECT_EQ(PeekPendingIoError(), 0);
  EXPECT_EQ(console.Written(fake::OutputHandle),
            WithZero("Runtime error 106 at 7FFE0010") + "\r\n");
}

// The last block of a redirected output goes out when the streams are closed at shutdown. When
// that write fails (a full disk, a closed pipe), the results are lost: a normal end then exits
// with the I/O error's code, as a run-time error would, not with 0.
struct ShutdownCase {
  const char* name;
  platform::DWORD writeError;
  int32_t code;  // of ExitProgram
  platform::UINT exitCode;
};
void PrintTo(const ShutdownCase& c, std::ostream* os) { *os << c.name; }

class ShutdownWrites : public testing::TestWithParam<ShutdownCase> {};

TEST_P(ShutdownWrites, FailedLastBlockIsNoSuccess) {
  const ShutdownCase& c = GetParam();
  fake::FakeConsole console;
  console.fileType[1] = platform::FILE_TYPE_DISK;
  fake::InstallFakeConsole installed(console);
  ConsoleInput.mode = ModeClosed;
  ConsoleOutput.mode = ModeClosed;
  ConsoleErrorOutput.mode = ModeClosed;
  WriteStringValue(ConsoleOutput, "X= 150.00m", 0);
  ASSERT_TRUE(console.writes.empty());
  console.AddWriteResult(c.writeError);
  InitialisedUnitCount = 2;  // the base run-time, whose finaliser closes the streams
  EXPECT_EQ(fake::ExitCodeOf([&] { ExitProgram(c.code, nullptr); }), c.exitCode);
  ASSERT_FALSE(console.writes.empty());
  EXPECT_EQ(console.writes[0].bytes, "X= 150.00m");
  if (c.writeError != 0 && c.code == 0) {
    ASSERT_EQ(console.writes.size(), 3u) << "the block, then the Runtime error message";
    EXPECT_EQ(console.writes[1].bytes.substr(0, 21),
              std::string("Runtime error ") + std::to_string(c.exitCode) + " at ");
  } else {
    EXPECT_EQ(console.writes.size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Results, ShutdownWrites,
    testing::Values(ShutdownCase{"Written", 0, 0, 0},
                    ShutdownCase{"FullDisk", platform::ERROR_DISK_FULL, 0, 112},
                    ShutdownCase{"PipeWithoutReader", platform::ERROR_NO_DATA, 0, 232},
                    // A code whose low 8 bits are 0 must not read as success either.
                    ShutdownCase{"CodeWithLowBitsZero", 512, 0, 255},
                    // A run that already failed keeps the exit code of its report.
                    ShutdownCase{"AfterAReport", platform::ERROR_DISK_FULL, 1, 1}),
    [](const testing::TestParamInfo<ShutdownCase>& param) { return param.param.name; });

// When even the report keeps failing, the program gives up with run-time error 217: the pending
// output and the message still go out, and the finalisers (which may be what fails) do not run.
TEST(ExitProgramPath, AbandonedProgramStillWritesItsOutputAndMessage) {
  fake::FakeConsole console;
  console.fileType[1] = platform::FILE_TYPE_PIPE;
  fake::InstallFakeConsole installed(console);
  ConsoleOutput.mode = ModeClosed;
  WriteStringValue(ConsoleOutput, "pending", 0);
  InitialisedUnitCount = 2;
  EXPECT_EQ(fake::ExitCodeOf(
                [&] { AbandonProgram(217, reinterpret_cast<const void*>(uintptr_t{0x00AB12CD})); }),
            217u);
  EXPECT_EQ(console.Written(fake::OutputHandle),
            "pending" + WithZero("Runtime error 217 at 00AB12CD") + "\r\n");
  EXPECT_EQ(InitialisedUnitCount, 2) << "no finaliser ran";
  InitialisedUnitCount = 0;
}

TEST(ExitProgramPath, NoAddressMeansNoMessage) {
  fake::FakeConsole console;
  fake::InstallFakeConsole installed(console);
  EXPECT_EQ(fake::ExitCodeOf([&] { ExitProgram(0, nullptr); }), 0u);
  EXPECT_TRUE(console.writes.empty());
}

// The registry override of the exception masks, with scripted registry calls.
struct FakeRegistry {
  static inline bool keyExists = true;
  static inline bool valueExists = true;
  static inline bool queryThrows = false;
  static inline std::vector<unsigned char> value;
  static inline std::vector<std::string> calls;

  static platform::LONG Open(platform::HKEY key, const char* subKey, platform::DWORD options,
                             platform::DWORD access, platform::HKEY* result) {
    calls.push_back("open " + std::to_string(key) + " " + subKey + " " + std::to_string(options) +
                    " " + std::to_string(access));
    if (!keyExists) return static_cast<platform::LONG>(platform::ERROR_FILE_NOT_FOUND);
    *result = 77;
    return 0;
  }
  static platform::LONG Query(platform::HKEY key, const char* name, platform::DWORD*,
                              platform::DWORD* type, unsigned char* data, platform::DWORD* size) {
    calls.push_back("query " + std::to_string(key) + " " + name + " " + std::to_string(*size) +
                    (type == nullptr ? " no-type" : " type"));
    if (queryThrows) throw 1;
    if (!valueExists) return static_cast<platform::LONG>(platform::ERROR_FILE_NOT_FOUND);
    const size_t count = value.size() < *size ? value.size() : *size;
    std::memcpy(data, value.data(), count);
    return 0;
  }
  static platform::LONG Close(platform::HKEY key) {
    calls.push_back("close " + std::to_string(key));
    return 0;
  }
};

class FpuMaskOverride : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = DefaultFpuControlWord;
    DefaultFpuControlWord = InitialFpuControlWord;
    FakeRegistry::keyExists = true;
    FakeRegistry::valueExists = true;
    FakeRegistry::queryThrows = false;
    FakeRegistry::value.clear();
    FakeRegistry::calls.clear();
  }
  void TearDown() override { DefaultFpuControlWord = saved_; }
  void Apply() {
    ApplyFpuMaskOverride(
        FpuMaskRegistryCalls{FakeRegistry::Open, FakeRegistry::Query, FakeRegistry::Close});
  }

 private:
  uint16_t saved_ = 0;
};

struct OverrideCase {
  std::vector<unsigned char> value;  // the bytes the registry holds
  uint16_t expected;
};

void PrintTo(const OverrideCase& c, std::ostream* os) {
  *os << "expects " << std::hex << c.expected;
}

class FpuMaskValues : public FpuMaskOverride, public testing::WithParamInterface<OverrideCase> {};

TEST_P(FpuMaskValues, OnlyTheSixMaskBitsChange) {
  FakeRegistry::value = GetParam().value;
  Apply();
  EXPECT_EQ(DefaultFpuControlWord, GetParam().expected);
  const std::vector<std::string> expectedCalls = {
      "open 2147483650 SOFTWARE\\Quenlor\\Vantro\\RTL 0 1", "query 77 FPUMaskValue 4 no-type",
      "close 77"};
  EXPECT_EQ(FakeRegistry::calls, expectedCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FpuMaskValues,
    testing::Values(OverrideCase{{0x3F, 0, 0, 0}, 0x133F}, OverrideCase{{0x7F, 0, 0, 0}, 0x133F},
                    OverrideCase{{0x07, 0xFF, 0, 0}, 0x1307}, OverrideCase{{0, 0, 0, 0}, 0x1300},
                    // Whatever the query leaves in the four bytes counts, of any type or size.
                    OverrideCase{{0x3F}, 0x133F}, OverrideCase{{'1', '2'}, 0x1331}),
    test_support::IndexedCaseName{});

TEST_F(FpuMaskOverride, MissingKeyLeavesTheWordAndReadsNothing) {
  FakeRegistry::keyExists = false;
  Apply();
  EXPECT_EQ(DefaultFpuControlWord, 0x1332);
  EXPECT_EQ(FakeRegistry::calls.size(), 1u);
}

TEST_F(FpuMaskOverride, MissingValueLeavesTheWordAndClosesTheKey) {
  FakeRegistry::valueExists = false;
  Apply();
  EXPECT_EQ(DefaultFpuControlWord, 0x1332);
  ASSERT_EQ(FakeRegistry::calls.size(), 3u);
  EXPECT_EQ(FakeRegistry::calls[2], "close 77");
}

TEST_F(FpuMaskOverride, KeyIsClosedWhenTheQueryRaises) {
  FakeRegistry::queryThrows = true;
  EXPECT_THROW(Apply(), int);
  ASSERT_EQ(FakeRegistry::calls.size(), 3u);
  EXPECT_EQ(FakeRegistry::calls[2], "close 77");
  EXPECT_EQ(DefaultFpuControlWord, 0x1332);
}

struct KeyboardCase {
  int type;
  int subtype;
  bool holds;
};
void PrintTo(const KeyboardCase& c, std::ostream* os) {
  *os << "type " << c.type << " subtype " << c.subtype;
}

class KeyboardTest : public testing::TestWithParam<KeyboardCase> {
 protected:
  static inline KeyboardCase current{};
  static int Keyboard(int flag) { return flag == 0 ? current.type : current.subtype; }
  static platform::BOOL ToOem(const char*, char*) { return platform::TRUE_; }
};

TEST_P(KeyboardTest, HoldsOnlyForTheJapaneseKeyboards) {
  current = GetParam();
  platform::SystemFunctions functions{Keyboard, ToOem};
  platform::SystemOverride = &functions;
  const bool holds = KeyboardTestHolds();
  platform::SystemOverride = nullptr;
  EXPECT_EQ(holds, GetParam().holds);
}

INSTANTIATE_TEST_SUITE_P(Types, KeyboardTest,
                         testing::Values(KeyboardCase{7, 0x0D00, true},
                                         KeyboardCase{7, 0x0400, true},
                                         KeyboardCase{7, 0x0D15, true},
                                         KeyboardCase{7, 0x0500, false},
                                         KeyboardCase{4, 0x0D00, false}, KeyboardCase{0, 0, false}),
                         test_support::IndexedCaseName{});

TEST(KeyboardTestOnThisPlatform, FailsSoTheRegistryIsNeverRead) {
  EXPECT_FALSE(KeyboardTestHolds());
}

// Unit initialisation and finalisation with a table of recording units.
std::vector<std::string> Log;

template <int N>
void Init() {
  Log.push_back("init " + std::to_string(N));
}
template <int N>
void Final() {
  Log.push_back("final " + std::to_string(N));
}
void RaisingInit() {
  Log.push_back("init raises");
  RaiseObject(new Exception("init"), nullptr);
}
void RaisingFinal() {
  Log.push_back("final raises");
  RaiseObject(new Exception("final"), nullptr);
}
void DividingInit() {
  Log.push_back("init divides");
  const int quotient = machine_faults::ArithmeticFault();
  Log.push_back("divided " + std::to_string(quotient));
}

class UnitOrder : public testing::Test {
 protected:
  void SetUp() override {
    Log.clear();
    InitialisedUnitCount = 0;
  }
  void TearDown() override {
    UnitTable = ProgramUnitTable;
    UnitCount = ProgramUnitCount;
    InitialisedUnitCount = 0;
  }
  void Use(std::vector<UnitEntry> units) {
    units_ = std::move(units);
    UnitTable = units_.data();
    UnitCount = static_cast<int32_t>(units_.size());
  }

 private:
  std::vector<UnitEntry> units_;
};

TEST_F(UnitOrder, FinalisersRunInReverseForEveryStartedUnit) {
  Use({{Init<1>, Final<1>}, {nullptr, Final<2>}, {Init<3>, nullptr}, {Init<4>, Final<4>}});
  RunUnitInitialisers();
  EXPECT_EQ(InitialisedUnitCount, 4);
  RunUnitFinalisers();
  EXPECT_EQ(InitialisedUnitCount, 0);
  const std::vector<std::string> expected = {"init 1",  "init 3",  "init 4",
                                             "final 4", "final 2", "final 1"};
  EXPECT_EQ(Log, expected);
}

TEST_F(UnitOrder, FailingInitialiserIsFinalisedWithTheUnitsBeforeIt) {
  Use({{Init<1>, Final<1>}, {RaisingInit, Final<2>}, {Init<3>, Final<3>}});
  const runtime_test::Raised raised = Catch([] { RunUnitInitialisers(); });
  ASSERT_TRUE(raised.raised);
  EXPECT_EQ(runtime_test::MessageOf(raised.object), "init");
  const std::vector<std::string> expected = {"init 1", "init raises", "final 2", "final 1"};
  EXPECT_EQ(Log, expected);
  EXPECT_EQ(InitialisedUnitCount, 0);
  delete raised.object;
}

TEST_F(UnitOrder, FailingFinaliserLetsTheRestRunThenGoesOn) {
  Use({{Init<1>, Final<1>}, {Init<2>, RaisingFinal}, {Init<3>, Final<3>}});
  RunUnitInitialisers();
  const runtime_test::Raised raised = Catch([] { RunUnitFinalisers(); });
  ASSERT_TRUE(raised.raised);
  EXPECT_EQ(runtime_test::MessageOf(raised.object), "final");
  const std::vector<std::string> expected = {"init 1",  "init 2",       "init 3",
                                             "final 3", "final raises", "final 1"};
  EXPECT_EQ(Log, expected);
  delete raised.object;
}

TEST_F(UnitOrder, PlatformFaultInAnInitialiserTravelsAsItsFaultRecord) {
  Use({{Init<1>, Final<1>}, {DividingInit, Final<2>}, {Init<3>, Final<3>}});
  platform::InstallFaultHandlers();
  const runtime_test::Raised raised = Catch([] { RunUnitInitialisers(); });
  platform::RemoveFaultHandlers();
  ASSERT_TRUE(raised.raised);
  EXPECT_EQ(raised.record.ExceptionCode, machine_faults::ArithmeticFaultStatus);
  EXPECT_NE(raised.record.ExceptionAddress, nullptr);
  const std::vector<std::string> expected = {"init 1", "init divides", "final 2", "final 1"};
  EXPECT_EQ(Log, expected);
}

}  // namespace
