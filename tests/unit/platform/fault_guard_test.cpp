// Faults one after another in one process: each reaches its guard, and none leaves its signal
// blocked for the next.
#include "platform/faults.h"

#include <signal.h>

#include <cstdint>

#include <gtest/gtest.h>

#include "machine_faults.h"

namespace {

// An arithmetic fault of the processor (or of the software arithmetic where the processor has
// none).
void DivideByZero(void*) { (void)machine_faults::ArithmeticFault(); }

// A store to an address that is never mapped (in assembly, so that no sanitizer steps in).
void WriteThroughNull(void*) { machine_faults::WriteTo(16); }

TEST(FaultGuard, RepeatedFaultsEachReachTheGuardAndLeaveNoSignalBlocked) {
  platform::InstallFaultHandlers();
  for (int round = 0; round < 3; ++round) {
    platform::EXCEPTION_RECORD fault{};
    EXPECT_FALSE(platform::CallWithFaultGuard(DivideByZero, nullptr, fault)) << round;
    EXPECT_EQ(fault.ExceptionCode, machine_faults::ArithmeticFaultStatus) << round;
    EXPECT_FALSE(platform::CallWithFaultGuard(WriteThroughNull, nullptr, fault)) << round;
    EXPECT_EQ(fault.ExceptionCode, platform::EXCEPTION_ACCESS_VIOLATION) << round;
  }
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  platform::RemoveFaultHandlers();
  EXPECT_FALSE(sigismember(&blocked, SIGFPE));
  EXPECT_FALSE(sigismember(&blocked, SIGSEGV));
}

}  // namespace

namespace {

// A guard inside a guard: each landing pad lives in its own guard's frame, so a fault inside
// the inner one comes back to the inner one, and a later fault in the outer routine to the outer.
struct Nested {
  bool innerReturned = false;
  platform::EXCEPTION_RECORD inner{};
};

void FaultInsideAndThenOutside(void* context) {
  auto* nested = static_cast<Nested*>(context);
  nested->innerReturned = !platform::CallWithFaultGuard(DivideByZero, nullptr, nested->inner);
  WriteThroughNull(nullptr);
}

TEST(FaultGuard, NestedGuardsEachTakeTheirOwnFault) {
  platform::InstallFaultHandlers();
  Nested nested;
  platform::EXCEPTION_RECORD outer{};
  EXPECT_FALSE(platform::CallWithFaultGuard(FaultInsideAndThenOutside, &nested, outer));
  EXPECT_TRUE(nested.innerReturned);
  EXPECT_EQ(nested.inner.ExceptionCode, machine_faults::ArithmeticFaultStatus);
  EXPECT_EQ(outer.ExceptionCode, platform::EXCEPTION_ACCESS_VIOLATION);
  EXPECT_EQ(outer.ExceptionInformation[0], 1u);  // a write
  // With every guard left, the next guard starts from the bottom again.
  platform::EXCEPTION_RECORD again{};
  EXPECT_FALSE(platform::CallWithFaultGuard(DivideByZero, nullptr, again));
  EXPECT_EQ(again.ExceptionCode, machine_faults::ArithmeticFaultStatus);
  platform::RemoveFaultHandlers();
}

}  // namespace
