// A raised object reaches the system's exception dispatch before it travels on as the C++
// exception: a vectored handler (as a debugger would, first chance) sees status 0x0EEDFADE,
// non-continuable, with seven parameters, the raise address and the object first.
#include <gtest/gtest.h>

#include "baseruntime/raised_exception.h"
#include "runtime/exceptions.h"
#include "unit/windows/vectored_watch.h"

namespace {

void RaiseHere(void* object) { RaiseObjectRecord(object, reinterpret_cast<void*>(&RaiseHere)); }

struct Caught {
  bool caught = false;
  int seenBeforeCatch = -1;
  platform::EXCEPTION_RECORD record{};
};

Caught RaiseAndCatch(void (*raise)(void*), void* object) {
  Caught result;
  try {
    raise(object);
  } catch (const RaisedException& raised) {
    result.caught = true;
    result.seenBeforeCatch = vectored_watch::Count();
    result.record = raised.record;
  }
  return result;
}

class RaisedObjectDispatch : public testing::Test {
 protected:
  void SetUp() override { vectored_watch::Start(ObjectExceptionStatus); }
  void TearDown() override { vectored_watch::Stop(); }
};

TEST_F(RaisedObjectDispatch, VectoredHandlerSeesItFirstChance) {
  TObject object;
  const Caught c = RaiseAndCatch(RaiseHere, &object);
  ASSERT_TRUE(c.caught);
  ASSERT_EQ(c.seenBeforeCatch, 1);
  const vectored_watch::Seen seen = vectored_watch::At(0);
  EXPECT_EQ(seen.code, 0x0EEDFADEu);
  EXPECT_EQ(seen.flags & platform::EXCEPTION_NONCONTINUABLE, platform::EXCEPTION_NONCONTINUABLE);
  EXPECT_EQ(seen.parameterCount, 7u);
  EXPECT_EQ(seen.parameters[0], reinterpret_cast<uintptr_t>(&RaiseHere));
  EXPECT_EQ(seen.parameters[1], reinterpret_cast<uintptr_t>(&object));
  // The C++ exception carries the same record on.
  EXPECT_EQ(c.record.ExceptionCode, ObjectExceptionStatus);
  EXPECT_EQ(c.record.ExceptionInformation[0], seen.parameters[0]);
  EXPECT_EQ(c.record.ExceptionInformation[1], seen.parameters[1]);
}

// Inside the fault guard (the program's outermost frame runs everything under one) the raised
// object is still seen once and still arrives as the C++ exception; a fault afterwards is still
// the guard's.
TEST_F(RaisedObjectDispatch, InsideTheFaultGuard) {
  TObject object;
  const Caught c = RaiseAndCatch(
      [](void* o) {
        platform::EXCEPTION_RECORD fault{};
        platform::CallWithFaultGuard(RaiseHere, o, fault);
      },
      &object);
  ASSERT_TRUE(c.caught);
  EXPECT_EQ(c.seenBeforeCatch, 1);
  EXPECT_EQ(c.record.ExceptionInformation[1], reinterpret_cast<uintptr_t>(&object));

  platform::EXCEPTION_RECORD fault{};
  const bool returned = platform::CallWithFaultGuard(
      [](void*) { *static_cast<volatile int*>(nullptr) = 1; }, nullptr, fault);
  EXPECT_FALSE(returned);
  EXPECT_EQ(fault.ExceptionCode, platform::EXCEPTION_ACCESS_VIOLATION);
}

}  // namespace
