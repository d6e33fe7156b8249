// The control word the whole program runs under, and the extended arithmetic that obeys it.
//
// 0x1332: invalid operation, division by zero and overflow fault; denormal operand, underflow
// and precision are masked; 64-bit significand; round to nearest, ties to even; affine infinity.
//
// The arithmetic itself is chosen by the build, as the platform backend is: the folder
// numconv/x87/ (long double on the x87) or numconv/soft/ (the same bits in software, for targets
// without an x87) is on the include path, and its extended_arithmetic.h defines Extended with
// the same operations on both sides: + - * / and the comparisons, CheckedResult,
// WaitForPendingFaults, StoreToDouble, RoundToInt64, Abs, PositiveInfinity, and the control word's
// LoadFpuControlWord, ReadFpuControlWord, ReadFpuStatusWord and ResetFpu.
#pragma once

#include <cstdint>

inline constexpr uint16_t InitialFpuControlWord = 0x1332;

// The word that start-up loads; only its six mask bits can be changed (by the start-up override).
inline uint16_t DefaultFpuControlWord = InitialFpuControlWord;

#include "extended_arithmetic.h"
