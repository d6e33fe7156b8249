// A program on the framecalc run-time whose main routine fails in the way argv[1] names, so that
// the tests beside it can watch the whole path from the failure to the exit code.
#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "machine_faults.h"
#include "platform/console_files.h"
#include "platform/modules.h"

#include "runtime/exception_support.h"
#include "runtime/exceptions.h"
#include "numconv/extended.h"
#include "numconv/fpu_control.h"
#include "runtime/lifetime.h"
#include "textio/text_stream.h"
#include "textio/write_values.h"

namespace {

void WriteTo(platform::DWORD standardHandle, const char* text, size_t length) {
  platform::DWORD written = 0;
  platform::WriteFile(platform::GetStdHandle(standardHandle), text,
                      static_cast<platform::DWORD>(length), &written);
}

void Trace(const char* text) { WriteTo(platform::STD_ERROR_HANDLE, text, std::strlen(text)); }

// Prints the address the run-time should show for `address` (relative to its module's load
// base), so that the test can compare it with the report.
void AnnounceAddress(const void* address) {
  platform::MEMORY_BASIC_INFORMATION region{};
  platform::VirtualQuery(address, &region, sizeof region);
  char text[32];
  const int length =
      std::snprintf(text, sizeof text, "%08lX|",
                    static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address) -
                                               reinterpret_cast<uintptr_t>(region.AllocationBase)));
  WriteTo(platform::STD_OUTPUT_HANDLE, text, static_cast<size_t>(length));
}

__attribute__((noinline)) void RaiseSite() { Trace(""); }

// A raise address inside this program's code.
const void* KnownAddress() {
  return reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(&RaiseSite)) + 4;
}

// The faulting instructions themselves, without a C++ operation whose fault would be undefined.
__attribute__((noinline)) int DivideByZero() { return machine_faults::ArithmeticFault(); }

__attribute__((noinline)) int ReadAddressZero() {
  void* volatile nowhere = nullptr;
  return machine_faults::ReadFrom(reinterpret_cast<uintptr_t>(nowhere));
}

void Write(const char* text) { WriteStringValue(ConsoleOutput, text, 0); }

__attribute__((noinline)) int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (depth < 0) return 0;
  return Recurse(depth + 1) + frame[0];
}

[[noreturn]] void Normal() {
  Write("left in the buffer");
  ExitProgram(0, nullptr);
}

[[noreturn]] void PendingIoWithoutHook(int32_t code) {
  Write("pending text");
  RemoveExceptionSupport();
  SetPendingIoError(code);
  CheckIoResult();
  Trace("CheckIoResult returned\n");
  ExitProgram(99, nullptr);
}

[[noreturn]] void RaiseAfterRemove() {
  RemoveExceptionSupport();
  AnnounceAddress(KnownAddress());
  RaiseObject(new Exception("too late"), KnownAddress());
}

[[noreturn]] void FaultAfterRemove() {
  RemoveExceptionSupport();
  volatile Extended one = 1;
  volatile Extended zero = 0;
  volatile Extended result = CheckedResult(one / zero);
  (void)result;
  ExitProgram(98, nullptr);
}

[[noreturn]] void Raise(TObject* object, bool announce = true) {
  if (announce) AnnounceAddress(KnownAddress());
  RaiseObject(object, KnownAddress());
}

[[noreturn]] void ExtendedFault(int kind) {
  volatile Extended one = 1;
  volatile Extended zero = 0;
  volatile Extended largest = ExtendedFromBits(0x7FFE, ~UINT64_C(0));  // the largest finite
  volatile Extended result = 0;
  switch (kind) {
    case 0:
      result = CheckedResult(one / zero);
      break;
    case 1:
      result = CheckedResult(zero / zero);
      break;
    default:
      result = CheckedResult(largest * largest);
      break;
  }
  (void)result;
  ExitProgram(98, nullptr);
}

[[noreturn]] void IntegerDivide() {
  volatile int result = DivideByZero();
  (void)result;
  ExitProgram(98, nullptr);
}

[[noreturn]] void ReadNil() {
  volatile int value = ReadAddressZero();
  (void)value;
  ExitProgram(98, nullptr);
}

[[noreturn]] void WriteLow() {
  int* volatile pointer = reinterpret_cast<int*>(uintptr_t{0x10});
  *pointer = 1;
  ExitProgram(98, nullptr);
}

[[noreturn]] void CallNil() {
  void (*volatile routine)() = nullptr;
  routine();
  ExitProgram(98, nullptr);
}

[[noreturn]] void StackOverflow() {
  volatile int result = Recurse(0);
  (void)result;
  ExitProgram(98, nullptr);
}

[[noreturn]] void OutOfMemory() {
  volatile size_t size = std::numeric_limits<size_t>::max() / 2;
  void* block = ::operator new(size);
  Trace(block != nullptr ? "allocated\n" : "null\n");
  ExitProgram(98, nullptr);
}

// Units for the start-up and shutdown scenarios.
void RaisingInitialiser() { RaiseObject(new Exception("unit failed"), KnownAddress()); }
void DividingInitialiser() {
  volatile int result = DivideByZero();
  (void)result;
}
void TraceInitialiser8() { Trace("init 8\n"); }
void TraceFinaliser1() { Trace("final 1\n"); }
void TraceFinaliser7() { Trace("final 7\n"); }
void TraceFinaliser8() { Trace("final 8\n"); }
void RaisingFinaliser() { RaiseObject(new Exception("finaliser failed"), KnownAddress()); }

UnitEntry TestUnits[9];

void UseUnits(std::initializer_list<UnitEntry> extra) {
  int32_t count = 0;
  for (int32_t i = 0; i < ProgramUnitCount - 1; ++i) TestUnits[count++] = ProgramUnitTable[i];
  for (const UnitEntry& entry : extra) TestUnits[count++] = entry;
  TestUnits[count++] = ProgramUnitTable[ProgramUnitCount - 1];
  UnitTable = TestUnits;
  UnitCount = count;
}

std::string Scenario;

[[noreturn]] void Main() {
  const std::string& s = Scenario;
  if (s == "normal") Normal();
  if (s == "io-106-no-hook") PendingIoWithoutHook(106);
  if (s == "io-512-no-hook") PendingIoWithoutHook(512);
  if (s == "raise-after-remove") RaiseAfterRemove();
  if (s == "fault-after-remove") FaultAfterRemove();
  if (s == "raise-exception") Raise(new Exception("Something broke"));
  if (s == "raise-dot") Raise(new Exception("Ends with a dot."));
  if (s == "raise-empty") Raise(new Exception(""));
  if (s == "raise-object") Raise(new TObject);
  if (s == "raise-long") Raise(new Exception(std::string(2000, 'x')));
  if (s == "raise-after-output") {
    Write("prompt without line end: ");
    Raise(new Exception("after output"));
  }
  // Without a word of its own on standard output, which may be a pipe without reader.
  if (s == "quiet-raise-after-output") {
    Write("prompt without line end: ");
    Raise(new Exception("after output"), false);
  }
  if (s == "x87-zero-divide") ExtendedFault(0);
  if (s == "x87-invalid") ExtendedFault(1);
  if (s == "x87-overflow") ExtendedFault(2);
  if (s == "int-divide") IntegerDivide();
  if (s == "read-nil") ReadNil();
  if (s == "write-low") WriteLow();
  if (s == "call-nil") CallNil();
  if (s == "stack-overflow") StackOverflow();
  if (s == "illegal-instruction") {
    machine_faults::IllegalInstruction();
  }
  if (s == "privileged-instruction") {
    machine_faults::PrivilegedInstruction();
  }
  if (s == "out-of-memory") OutOfMemory();
  if (s == "finaliser-raises") ExitProgram(0, nullptr);
  if (s == "fpu-control-word") {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", ReadFpuControlWord());
    Write(text);
    ExitProgram(0, nullptr);
  }
  Trace("unknown scenario\n");
  ExitProgram(97, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  Scenario = argc > 1 ? argv[1] : "";
  if (Scenario == "init-raises") {
    AnnounceAddress(KnownAddress());
    UseUnits({{RaisingInitialiser, TraceFinaliser7}, {TraceInitialiser8, TraceFinaliser8}});
  } else if (Scenario == "init-faults-early") {
    UnitTable = TestUnits;
    TestUnits[0] = {DividingInitialiser, TraceFinaliser1};
    TestUnits[1] = ProgramUnitTable[1];
    UnitCount = 2;
  } else if (Scenario == "finaliser-raises") {
    AnnounceAddress(KnownAddress());
    UseUnits({{nullptr, RaisingFinaliser}});
  }
  ProgramEntry(Main);
}
