// Where line AB crosses a frame line: the worked examples with the exact bits they store, and the
// faults of the computation.
#include "calculator/frame_intersection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "platform/faults.h"
#include "unit/numconv/control_word_fixture.h"

namespace {

uint64_t BitsOf(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

struct ExampleCase {
  const char* name;
  double ax, ay, bx, by;
  KnownAxis axis;
  double known;
  uint64_t storedBits;
};
void PrintTo(const ExampleCase& c, std::ostream* os) { *os << c.name; }

class WorkedExamples : public UnderProgramControlWord,
                       public testing::WithParamInterface<ExampleCase> {};

TEST_P(WorkedExamples, StoreExactlyTheseBits) {
  const ExampleCase& c = GetParam();
  const double stored = FrameIntersection(c.axis, c.ax, c.ay, c.bx, c.by, c.known);
  EXPECT_EQ(BitsOf(stored), c.storedBits) << std::hexfloat << stored;
}

INSTANTIATE_TEST_SUITE_P(
    Table, WorkedExamples,
    testing::Values(
        ExampleCase{"KnownX", 100, 200, 300, 400, KnownAxis::X, 150, 0x406F400000000000},
        ExampleCase{"KnownY", 100, 200, 300, 400, KnownAxis::Y, 250, 0x4062C00000000000},
        ExampleCase{"OneThird", 0, 0, 3, 1, KnownAxis::X, 1, 0x3FD5555555555555},
        ExampleCase{"MapSheetKnownX", 5431.25, 2210.5, 5520.75, 2290.25, KnownAxis::X, 5500,
                    0x40A1BF855CF5FD24},
        ExampleCase{"MapSheetKnownY", 5431.25, 2210.5, 5520.75, 2290.25, KnownAxis::Y, 2250,
                    0x40B56394436920E7},
        ExampleCase{"VerticalLineKnownY", 1, 2, 1, 7, KnownAxis::Y, 4, 0x3FF0000000000000},
        // Every step in extended precision: in double steps the last bit would be 5.
        ExampleCase{"ExtendedIntermediates", 59.2, -0.46, 89.2, -25.9, KnownAxis::X, -491,
                    0x407D21C0EBEDFA44},
        ExampleCase{"KnownEqualsA", 100, 200, 300, 400, KnownAxis::X, 100, 0x4069000000000000},
        ExampleCase{"InfiniteKnown", 0, 0, 1, 1, KnownAxis::X,
                    std::numeric_limits<double>::infinity(), 0x7FF0000000000000}),
    [](const testing::TestParamInfo<ExampleCase>& param) { return param.param.name; });

// A fault surfaces at the operation that caused it, with the platform's status.
struct FaultCase {
  const char* name;
  double ax, ay, bx, by;
  KnownAxis axis;
  double known;
  platform::DWORD status;
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class ComputationFaults : public UnderProgramControlWord,
                          public testing::WithParamInterface<FaultCase> {
 protected:
  static void SetUpTestSuite() { platform::InstallFaultHandlers(); }
  static void TearDownTestSuite() { platform::RemoveFaultHandlers(); }
};

const FaultCase* Current = nullptr;
double Result = 0;

void Compute(void*) {
  ResetFpu();
  Result = FrameIntersection(Current->axis, Current->ax, Current->ay, Current->bx, Current->by,
                             Current->known);
}

TEST_P(ComputationFaults, RaiseTheirStatus) {
  Current = &GetParam();
  Result = 12345;
  platform::EXCEPTION_RECORD fault{};
  EXPECT_FALSE(platform::CallWithFaultGuard(Compute, nullptr, fault));
  ResetFpu();
  EXPECT_EQ(fault.ExceptionCode, Current->status) << std::hex << fault.ExceptionCode;
  EXPECT_EQ(Result, 12345) << "the result is not written";
}

const double Infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, ComputationFaults,
    testing::Values(FaultCase{"ParallelKnownX", 1, 2, 1, 7, KnownAxis::X, 5,
                              platform::EXCEPTION_FLT_DIVIDE_BY_ZERO},
                    FaultCase{"ParallelKnownY", 1, 2, 3, 2, KnownAxis::Y, 5,
                              platform::EXCEPTION_FLT_DIVIDE_BY_ZERO},
                    FaultCase{"SamePoint", 3, 4, 3, 4, KnownAxis::Y, 5,
                              platform::EXCEPTION_FLT_INVALID_OPERATION},
                    FaultCase{"ResultBeyondDoubles", 0, 0, 1e-300, 1, KnownAxis::X, 1e10,
                              platform::EXCEPTION_FLT_OVERFLOW},
                    FaultCase{"InfinityTimesZero", Infinity, 0, 1, 1, KnownAxis::X, 5,
                              platform::EXCEPTION_FLT_INVALID_OPERATION}),
    [](const testing::TestParamInfo<FaultCase>& param) { return param.param.name; });

}  // namespace
