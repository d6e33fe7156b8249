// The number conversion runs under the program's control word; each test loads it and gives the
// test framework its ordinary word back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "numconv/fpu_control.h"

class UnderProgramControlWord : public testing::Test {
 protected:
  static constexpr uint16_t LinuxDefaultControlWord = 0x037F;

  void SetUp() override { ResetFpu(); }
  void TearDown() override { LoadFpuControlWord(LinuxDefaultControlWord); }
};
