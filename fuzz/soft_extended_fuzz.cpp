// The software extended real against the x87 of this machine, on operands that the fuzzer picks
// bit by bit: each input is one operation (a sum, difference, product, quotient, both
// comparisons, the conversions to an integer and to a double, from a double), two 80-bit
// operands and the six exception masks of a control word. The software must give the x87's 80
// bits and exception flags with every exception masked, and the x87's fault under that control
// word. Any difference aborts with both answers.
//
// Input: byte 0 the operation, bytes 1-10 and 11-20 the operands (significand, then sign and
// exponent, little-endian), byte 21 the masks; missing bytes are zero.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "numconv/soft_extended.h"
#include "tests/unit/soft_vs_x87/x87_reference.h"

namespace {

SoftExtended OperandAt(const uint8_t* bytes) {
  SoftExtended value;
  std::memcpy(&value.significand, bytes, 8);
  std::memcpy(&value.signExponent, bytes + 8, 2);
  return value;
}

[[noreturn]] void Mismatch(const char* what, SoftExtended a, SoftExtended b, uint16_t controlWord,
                           unsigned long long hard, unsigned hardFlags, unsigned long long soft,
                           unsigned softFlags) {
  std::fprintf(stderr,
               "%s of %04X:%016llX and %04X:%016llX under %04X: x87 %016llX flags %02X, "
               "software %016llX flags %02X\n",
               what, a.signExponent, static_cast<unsigned long long>(a.significand), b.signExponent,
               static_cast<unsigned long long>(b.significand), controlWord, hard, hardFlags, soft,
               softFlags);
  std::abort();
}

uint32_t SoftFault(uint32_t flags, uint16_t controlWord) {
  const uint32_t unmasked = SoftUnmaskedExceptions(flags, controlWord);
  return unmasked & (0 - unmasked);
}

void CheckValue(const char* what, SoftExtended a, SoftExtended b, uint16_t controlWord,
                SoftResult soft, x87ref::Outcome hard, uint16_t hardUnderWord) {
  if (soft.value.signExponent != hard.value.signExponent ||
      soft.value.significand != hard.value.significand || (soft.flags & 0x3F) != hard.status) {
    Mismatch(what, a, b, x87ref::AllMasked, hard.value.significand ^ hard.value.signExponent,
             hard.status, soft.value.significand ^ soft.value.signExponent, soft.flags & 0x3F);
  }
  const uint16_t hardFault = x87ref::FaultingFlag(hardUnderWord, controlWord);
  if (hardFault != SoftFault(soft.flags, controlWord)) {
    Mismatch(what, a, b, controlWord, 0, hardFault, 0, SoftFault(soft.flags, controlWord));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t bytes[22] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  const SoftExtended a = OperandAt(bytes + 1);
  const SoftExtended b = OperandAt(bytes + 11);
  const uint16_t controlWord = static_cast<uint16_t>(0x1300 | (bytes[21] & 0x3F));

  switch (bytes[0] % 9) {
    case 0:
    case 1:
    case 2:
    case 3: {
      const auto operation = static_cast<x87ref::Operation>(bytes[0] % 4);
      const SoftResult soft = operation == x87ref::Operation::Add        ? SoftAdd(a, b)
                              : operation == x87ref::Operation::Subtract ? SoftSubtract(a, b)
                              : operation == x87ref::Operation::Multiply ? SoftMultiply(a, b)
                                                                         : SoftDivide(a, b);
      CheckValue("arithmetic", a, b, controlWord, soft,
                 x87ref::Binary(operation, a, b, x87ref::AllMasked),
                 x87ref::Binary(operation, a, b, controlWord).status);
      break;
    }
    case 4:
    case 5: {
      const bool quiet = bytes[0] % 9 == 5;
      const SoftComparison soft = quiet ? SoftCompareQuiet(a, b) : SoftCompare(a, b);
      const x87ref::CompareOutcome hard = x87ref::Compare(a, b, quiet, x87ref::AllMasked);
      if (soft.order != hard.order || (soft.flags & 0x3F) != hard.status) {
        Mismatch("comparison", a, b, x87ref::AllMasked, static_cast<unsigned>(hard.order),
                 hard.status, static_cast<unsigned>(soft.order), soft.flags & 0x3F);
      }
      break;
    }
    case 6: {
      const SoftIntegerResult soft = SoftRoundToInt64(a);
      const x87ref::IntegerOutcome hard = x87ref::RoundToInt64(a, x87ref::AllMasked);
      if (soft.value != hard.value || (soft.flags & 0x3F) != hard.status) {
        Mismatch("integer", a, a, x87ref::AllMasked, static_cast<unsigned long long>(hard.value),
                 hard.status, static_cast<unsigned long long>(soft.value), soft.flags & 0x3F);
      }
      const uint16_t hardFault =
          x87ref::FaultingFlag(x87ref::RoundToInt64(a, controlWord).status, controlWord);
      if (hardFault != SoftFault(soft.flags, controlWord)) {
        Mismatch("integer fault", a, a, controlWord, 0, hardFault, 0,
                 SoftFault(soft.flags, controlWord));
      }
      break;
    }
    case 7: {
      const SoftDoubleResult soft = SoftToDouble(a);
      uint64_t softBits;
      std::memcpy(&softBits, &soft.value, sizeof softBits);
      const x87ref::DoubleOutcome hard = x87ref::ToDouble(a, x87ref::AllMasked);
      if (softBits != hard.bits || (soft.flags & 0x3F) != hard.status) {
        Mismatch("double", a, a, x87ref::AllMasked, hard.bits, hard.status, softBits,
                 soft.flags & 0x3F);
      }
      const uint16_t hardFault =
          x87ref::FaultingFlag(x87ref::ToDouble(a, controlWord).status, controlWord);
      if (hardFault != SoftFault(soft.flags, controlWord)) {
        Mismatch("double fault", a, a, controlWord, 0, hardFault, 0,
                 SoftFault(soft.flags, controlWord));
      }
      break;
    }
    default: {
      double value;
      std::memcpy(&value, bytes + 1, sizeof value);
      uint64_t bits;
      std::memcpy(&bits, bytes + 1, sizeof bits);
      CheckValue("from double", a, b, controlWord, SoftFromDouble(value),
                 x87ref::FromDouble(bits, x87ref::AllMasked),
                 x87ref::FromDouble(bits, controlWord).status);
      break;
    }
  }
  return 0;
}
