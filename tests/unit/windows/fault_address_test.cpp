// The overflow fault of a conversion on Windows: the record names the x87 instruction that
// overflowed, and the FWAIT right after it made the fault surface before anything else ran.
#include <gtest/gtest.h>

#include <cstdint>

#include "numconv/fpu_control.h"
#include "numconv/text_to_real.h"
#include "platform/faults.h"
#include "probes/x87_fidelity.h"
#include "unit/numconv/control_word_fixture.h"

namespace {

class TextToRealFaultAddress : public UnderProgramControlWord {};

TEST_F(TextToRealFaultAddress, OverflowFaultsAtTheFailingOperation) {
  // The system takes the address from the x87's last-instruction pointer.
  const x87fidelity::Finding pointer = x87fidelity::ProbeInstructionPointer();
  if (!pointer.faithful) GTEST_SKIP() << pointer.text;
  for (const char* text : {"1e5000", "-1e5000", "2e4932"}) {
    SCOPED_TRACE(text);
    platform::EXCEPTION_RECORD fault{};
    const bool returned = platform::CallWithFaultGuard(
        [](void* context) {
          LoadFpuControlWord(DefaultFpuControlWord);
          int32_t errorPosition = 0;
          volatile Extended sink = TextToReal(static_cast<const char*>(context), errorPosition);
          (void)sink;
        },
        const_cast<char*>(text), fault);
    ResetFpu();
    LoadFpuControlWord(DefaultFpuControlWord);
    ASSERT_FALSE(returned);
    EXPECT_EQ(fault.ExceptionCode, platform::EXCEPTION_FLT_OVERFLOW);
    // An x87 instruction (escape opcodes D8-DF), and an FWAIT (9B) within the next instruction.
    const auto* code = static_cast<const unsigned char*>(fault.ExceptionAddress);
    ASSERT_NE(code, nullptr);
    EXPECT_GE(code[0], 0xD8);
    EXPECT_LE(code[0], 0xDF);
    bool waitFollows = false;
    for (int offset = 2; offset <= 7; ++offset) waitFollows = waitFollows || code[offset] == 0x9B;
    EXPECT_TRUE(waitFollows);
  }
}

}  // namespace
