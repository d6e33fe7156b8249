// The software extended real against the x87 of this machine: the same operation on the same 80
// bits must give the same 80 bits and the same exception flags (every exception masked), and
// under the program's control word and under other masks the same fault. Operands come from
// every class the format has; the conversions are tried at their edges.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numconv/soft_extended.h"
#include "unit/soft_vs_x87/x87_reference.h"

namespace {

using x87ref::Operation;

constexpr uint16_t ProgramControlWord = 0x1332;

std::string Hex(SoftExtended v) {
  char text[32];
  std::snprintf(text, sizeof text, "%04X:%016llX", v.signExponent,
                static_cast<unsigned long long>(v.significand));
  return text;
}

const char* NameOf(Operation operation) {
  switch (operation) {
    case Operation::Add:
      return "+";
    case Operation::Subtract:
      return "-";
    case Operation::Multiply:
      return "*";
    case Operation::Divide:
      return "/";
  }
  return "?";
}

SoftResult Soft(Operation operation, SoftExtended a, SoftExtended b) {
  switch (operation) {
    case Operation::Add:
      return SoftAdd(a, b);
    case Operation::Subtract:
      return SoftSubtract(a, b);
    case Operation::Multiply:
      return SoftMultiply(a, b);
    case Operation::Divide:
      return SoftDivide(a, b);
  }
  return {};
}

constexpr Operation AllOperations[] = {Operation::Add, Operation::Subtract, Operation::Multiply,
                                       Operation::Divide};

// Control words whose masks differ from the program's: each exception unmasked on its own, all
// of them, and the program's own.
constexpr uint16_t FaultControlWords[] = {
    ProgramControlWord, 0x133E, 0x133D, 0x133B, 0x1337, 0x132F, 0x131F, 0x1300};

// Counts mismatches and reports the first few of them in full.
class Differences {
 public:
  void Check(bool same, const std::string& what) {
    if (same) return;
    if (++count_ <= 20) ADD_FAILURE() << what;
  }
  ~Differences() { EXPECT_EQ(count_, 0) << "mismatches in all"; }

 private:
  int count_ = 0;
};

void CompareBinary(Differences& differences, Operation operation, SoftExtended a, SoftExtended b) {
  const SoftResult soft = Soft(operation, a, b);
  const x87ref::Outcome hard = x87ref::Binary(operation, a, b, x87ref::AllMasked);
  const bool same = soft.value.signExponent == hard.value.signExponent &&
                    soft.value.significand == hard.value.significand &&
                    (soft.flags & 0x3F) == hard.status;
  differences.Check(same, Hex(a) + " " + NameOf(operation) + " " + Hex(b) + ": x87 " +
                              Hex(hard.value) + " flags " + std::to_string(hard.status) +
                              ", software " + Hex(soft.value) + " flags " +
                              std::to_string(soft.flags & 0x3F));
  for (const uint16_t controlWord : FaultControlWords) {
    const uint16_t hardFault =
        x87ref::FaultingFlag(x87ref::Binary(operation, a, b, controlWord).status, controlWord);
    const uint32_t unmasked = SoftUnmaskedExceptions(soft.flags, controlWord);
    const uint32_t softFault = unmasked & (0 - unmasked);
    differences.Check(hardFault == softFault, Hex(a) + " " + NameOf(operation) + " " + Hex(b) +
                                                  " under control word " +
                                                  std::to_string(controlWord) +
                                                  ": x87 faults with " + std::to_string(hardFault) +
                                                  ", software with " + std::to_string(softFault));
  }
}

void CompareComparison(Differences& differences, SoftExtended a, SoftExtended b) {
  for (const bool quiet : {false, true}) {
    const SoftComparison soft = quiet ? SoftCompareQuiet(a, b) : SoftCompare(a, b);
    const x87ref::CompareOutcome hard = x87ref::Compare(a, b, quiet, x87ref::AllMasked);
    differences.Check(soft.order == hard.order && (soft.flags & 0x3F) == hard.status,
                      Hex(a) + (quiet ? " ucompare " : " compare ") + Hex(b) + ": x87 order " +
                          std::to_string(static_cast<int>(hard.order)) + " flags " +
                          std::to_string(hard.status) + ", software order " +
                          std::to_string(static_cast<int>(soft.order)) + " flags " +
                          std::to_string(soft.flags & 0x3F));
  }
}

void CompareConversions(Differences& differences, SoftExtended a) {
  const SoftIntegerResult softInteger = SoftRoundToInt64(a);
  const x87ref::IntegerOutcome hardInteger = x87ref::RoundToInt64(a, x87ref::AllMasked);
  differences.Check(
      softInteger.value == hardInteger.value && (softInteger.flags & 0x3F) == hardInteger.status,
      "to integer " + Hex(a) + ": x87 " + std::to_string(hardInteger.value) + " flags " +
          std::to_string(hardInteger.status) + ", software " + std::to_string(softInteger.value) +
          " flags " + std::to_string(softInteger.flags & 0x3F));
  const SoftDoubleResult softDouble = SoftToDouble(a);
  const x87ref::DoubleOutcome hardDouble = x87ref::ToDouble(a, x87ref::AllMasked);
  uint64_t softBits;
  std::memcpy(&softBits, &softDouble.value, sizeof softBits);
  char text[96];
  std::snprintf(text, sizeof text, ": x87 %016llX flags %u, software %016llX flags %u",
                static_cast<unsigned long long>(hardDouble.bits), hardDouble.status,
                static_cast<unsigned long long>(softBits), softDouble.flags & 0x3F);
  differences.Check(softBits == hardDouble.bits && (softDouble.flags & 0x3F) == hardDouble.status,
                    "to double " + Hex(a) + text);
  for (const uint16_t controlWord : FaultControlWords) {
    const uint16_t hardFault =
        x87ref::FaultingFlag(x87ref::ToDouble(a, controlWord).status, controlWord);
    const uint32_t unmasked = SoftUnmaskedExceptions(softDouble.flags, controlWord);
    differences.Check(hardFault == (unmasked & (0 - unmasked)),
                      "to double " + Hex(a) + " under control word " + std::to_string(controlWord));
    const uint16_t hardIntegerFault =
        x87ref::FaultingFlag(x87ref::RoundToInt64(a, controlWord).status, controlWord);
    const uint32_t unmaskedInteger = SoftUnmaskedExceptions(softInteger.flags, controlWord);
    differences.Check(
        hardIntegerFault == (unmaskedInteger & (0 - unmaskedInteger)),
        "to integer " + Hex(a) + " under control word " + std::to_string(controlWord));
  }
}

void CompareFromDouble(Differences& differences, uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  const SoftResult soft = SoftFromDouble(value);
  const x87ref::Outcome hard = x87ref::FromDouble(bits, x87ref::AllMasked);
  char text[40];
  std::snprintf(text, sizeof text, "from double %016llX", static_cast<unsigned long long>(bits));
  differences.Check(
      soft.value.signExponent == hard.value.signExponent &&
          soft.value.significand == hard.value.significand && (soft.flags & 0x3F) == hard.status,
      std::string(text) + ": x87 " + Hex(hard.value) + " flags " + std::to_string(hard.status) +
          ", software " + Hex(soft.value) + " flags " + std::to_string(soft.flags & 0x3F));
}

// One operand of each class, at the edges of the classes.
std::vector<SoftExtended> ClassOperands() {
  std::vector<SoftExtended> operands;
  const uint64_t I = UINT64_C(0x8000000000000000);
  for (const uint16_t sign : {uint16_t{0}, uint16_t{0x8000}}) {
    auto add = [&](uint16_t exponent, uint64_t significand) {
      operands.push_back({significand, static_cast<uint16_t>(sign | exponent)});
    };
    add(0, 0);                             // zero
    add(0, 1);                             // smallest denormal
    add(0, I - 1);                         // largest denormal
    add(0, UINT64_C(0x4000000000000000));  // a denormal
    add(0, I);                             // pseudo-denormal
    add(0, ~UINT64_C(0));                  // largest pseudo-denormal
    add(1, I);                             // smallest normal
    add(1, ~UINT64_C(0));
    add(2, I);
    add(0x3FFF, I);                             // 1
    add(0x3FFF, I | 1);                         // 1 + ulp
    add(0x3FFE, ~UINT64_C(0));                  // 1 - ulp/2
    add(0x4000, UINT64_C(0xC000000000000000));  // 3
    add(0x3FFD, UINT64_C(0xAAAAAAAAAAAAAAAB));  // about 1/3
    add(0x7FFE, ~UINT64_C(0));                  // largest finite
    add(0x7FFE, I);
    add(0x7FFF, I);                             // infinity
    add(0x7FFF, UINT64_C(0xC000000000000000));  // quiet NaN (the default one when negative)
    add(0x7FFF, UINT64_C(0xC000000000000123));
    add(0x7FFF, I | 1);  // signalling NaN
    add(0x7FFF, UINT64_C(0xBFFFFFFFFFFFFFFF));
    add(0x7FFF, 0);                             // pseudo-infinity
    add(0x7FFF, UINT64_C(0x4000000000000001));  // pseudo-NaN
    add(0x3FFF, UINT64_C(0x4000000000000000));  // unnormal
    add(0x0001, 1);                             // unnormal at the bottom
    add(0x403E, I);                             // 2^63
    add(0x403D, ~UINT64_C(0));                  // 2^63 - 1/2
    add(0x43FE, UINT64_C(0xFFFFFFFFFFFFF800));  // largest double
    add(0x43FE, UINT64_C(0xFFFFFFFFFFFFFC00));  // halfway above it
    add(0x3C01, I);                             // smallest normal double
    add(0x3BCD, I);                             // smallest denormal double
    add(0x3BCC, I);                             // half of it
  }
  return operands;
}

// A random operand: every class, with exponents and significands where rounding is decided
// (few bits set, long runs of ones, both ends of the exponent range, around 1).
SoftExtended RandomOperand(std::mt19937_64& random) {
  const uint64_t I = UINT64_C(0x8000000000000000);
  const uint16_t sign = (random() & 1) != 0 ? 0x8000 : 0;
  uint64_t significand;
  switch (random() % 4) {
    case 0:
      significand = random();
      break;
    case 1:
      significand = ~UINT64_C(0) << (random() % 64);
      break;  // ones, then zeros
    case 2:
      significand = I | (random() >> (1 + random() % 63));
      break;  // few low bits
    default:
      significand = I | (UINT64_C(1) << (random() % 63)) | (random() & 3);
      break;
  }
  uint16_t exponent;
  switch (random() % 16) {
    case 0:
      exponent = 0;
      significand &= ~I;
      if (significand == 0) significand = 1;
      break;  // denormal
    case 1:
      exponent = 0;
      significand |= I;
      break;  // pseudo-denormal
    case 2:
      exponent = static_cast<uint16_t>(1 + random() % 70);
      significand |= I;
      break;
    case 3:
      exponent = static_cast<uint16_t>(0x7FFE - random() % 70);
      significand |= I;
      break;
    case 4:
    case 5:
    case 6:
      exponent = static_cast<uint16_t>(0x3FFF - 70 + random() % 140);
      significand |= I;
      break;
    case 7:
      exponent = static_cast<uint16_t>(1 + random() % 0x7FFE);
      significand |= I;
      break;
    case 8:
      exponent = static_cast<uint16_t>(0x3C01 - 70 + random() % 140);
      significand |= I;
      break;
    case 9:
      exponent = static_cast<uint16_t>(0x43FE - 10 + random() % 20);
      significand |= I;
      break;
    case 10:
      return {random() % 4 == 0 ? 0 : I, static_cast<uint16_t>(sign | (random() % 2 ? 0x7FFF : 0))};
    case 11:
      exponent = 0x7FFF;
      significand |= I;
      if (significand == I) significand |= 1;
      break;  // NaN
    case 12:
      exponent = static_cast<uint16_t>(random() % 0x8000);
      significand &= ~I;
      break;  // unnormal & co
    default:
      exponent = static_cast<uint16_t>(0x3FFF - 20 + random() % 80);
      significand |= I;
      break;
  }
  return {significand, static_cast<uint16_t>(sign | exponent)};
}

// A second operand near the first: the same or a close exponent, the same or a close
// significand, so that sums cancel, quotients are exact and halfway cases come up.
SoftExtended Partner(std::mt19937_64& random, SoftExtended a) {
  SoftExtended b = a;
  switch (random() % 4) {
    case 0:
      b.signExponent = static_cast<uint16_t>(b.signExponent ^ 0x8000);
      break;
    case 1:
      b.significand += random() % 5 - 2;
      break;
    case 2: {
      const int shift = static_cast<int>(random() % 70) - 3;
      const int field = (a.signExponent & 0x7FFF) - shift;
      if (field > 0 && field < 0x7FFF) {
        b.signExponent = static_cast<uint16_t>((a.signExponent & 0x8000) | field);
      }
      b.signExponent ^= static_cast<uint16_t>((random() & 1) << 15);
      break;
    }
    default:
      b = RandomOperand(random);
      break;
  }
  return b;
}

TEST(SoftExtendedAgainstX87, EveryPairOfClassOperands) {
  Differences differences;
  const std::vector<SoftExtended> operands = ClassOperands();
  for (const SoftExtended a : operands) {
    for (const SoftExtended b : operands) {
      for (const Operation operation : AllOperations) CompareBinary(differences, operation, a, b);
      CompareComparison(differences, a, b);
    }
    CompareConversions(differences, a);
  }
}

TEST(SoftExtendedAgainstX87, RandomOperandsOfEveryClass) {
  Differences differences;
  std::mt19937_64 random(21);
  for (int i = 0; i < 200000; ++i) {
    const SoftExtended a = RandomOperand(random);
    const SoftExtended b = random() % 2 ? Partner(random, a) : RandomOperand(random);
    CompareBinary(differences, AllOperations[i % 4], a, b);
    if (i % 4 == 0) CompareComparison(differences, a, b);
    if (i % 4 == 1) CompareConversions(differences, a);
  }
}

// The conversions to double around every place where the double's rounding is decided: the
// halfway points between neighbouring doubles, at both ends of the double's range and across the
// denormal doubles; and to integers around the halves and the ends of the 64-bit range.
TEST(SoftExtendedAgainstX87, ConversionsAtTheirEdges) {
  Differences differences;
  std::mt19937_64 random(64);
  const uint64_t I = UINT64_C(0x8000000000000000);
  const uint16_t edgeExponents[] = {0x3C01 - 60, 0x3BCC, 0x3BCD, 0x3BCE, 0x3C00, 0x3C01,
                                    0x3C02,      0x3FFF, 0x43FD, 0x43FE, 0x43FF};
  for (const uint16_t exponent : edgeExponents) {
    for (int i = 0; i < 2000; ++i) {
      // A double's significand and a tail that is below, at or above the half.
      const uint64_t kept = (I | (random() << 11)) & ~UINT64_C(0x7FF);
      const uint64_t tails[] = {0x400, 0x3FF, 0x401, 0, 0x7FF, 1, random() & 0x7FF};
      for (const uint64_t tail : tails) {
        for (const uint16_t sign : {uint16_t{0}, uint16_t{0x8000}}) {
          const uint16_t field = static_cast<uint16_t>(exponent + (i % 3) - 1);
          CompareConversions(differences, {kept | tail, static_cast<uint16_t>(sign | field)});
        }
      }
    }
  }
  // Every exponent across the denormal doubles, with halfway tails at that scale.
  for (int field = 0x3BC0; field <= 0x3C02; ++field) {
    for (int bit = 0; bit < 64; ++bit) {
      const uint64_t significand = I | (UINT64_C(1) << bit) | (random() >> 60);
      CompareConversions(differences, {significand, static_cast<uint16_t>(field)});
      CompareConversions(differences, {I | (UINT64_C(1) << bit), static_cast<uint16_t>(field)});
    }
  }
  // Integers: every exponent from far below 1/2 to beyond 2^64, with halves and their
  // neighbours, and the ends of the 64-bit range.
  for (int field = 0x3FFF - 70; field <= 0x3FFF + 66; ++field) {
    for (int i = 0; i < 200; ++i) {
      const int point = 0x3FFF + 63 - field;  // the bit of 1/2 in the significand, if in range
      uint64_t significand = I | (random() & ~UINT64_C(0));
      if (point > 0 && point < 64) {
        const uint64_t half = UINT64_C(1) << (point - 1);
        const uint64_t mask = (half << 1) - 1;
        significand = (significand & ~mask) | (i % 3 == 0   ? half
                                               : i % 3 == 1 ? half - 1
                                                            : half + 1);
        significand |= I;
      }
      for (const uint16_t sign : {uint16_t{0}, uint16_t{0x8000}}) {
        CompareConversions(differences, {significand, static_cast<uint16_t>(sign | field)});
      }
    }
  }
  for (const int64_t value :
       {INT64_MIN, INT64_MIN + 1, INT64_MAX, INT64_MAX - 1, int64_t{0}, int64_t{1}, int64_t{-1}}) {
    const SoftExtended soft = SoftFromInt64(value);
    const SoftExtended hard = x87ref::FromInt64(value);
    differences.Check(
        soft.signExponent == hard.signExponent && soft.significand == hard.significand,
        "from integer " + std::to_string(value));
    CompareConversions(differences, soft);
    CompareConversions(differences, SoftAdd(soft, {I, 0x3FFE}).value);  // + 1/2
    CompareConversions(differences, SoftSubtract(soft, {I, 0x3FFE}).value);
  }
  for (int i = 0; i < 100000; ++i) {
    const int64_t value = static_cast<int64_t>(random() >> (random() % 64));
    const int64_t signedValue = random() % 2 ? value : -value;
    const SoftExtended soft = SoftFromInt64(signedValue);
    const SoftExtended hard = x87ref::FromInt64(signedValue);
    differences.Check(
        soft.signExponent == hard.signExponent && soft.significand == hard.significand,
        "from integer " + std::to_string(signedValue));
    const uint64_t unsignedValue = random() >> (random() % 64);
    const SoftExtended fromUnsigned = SoftFromUint64(unsignedValue);
    // The exact value of the unsigned integer: as a signed one, plus 2^64 for the top bit.
    SoftExtended expected = x87ref::FromInt64(static_cast<int64_t>(unsignedValue & ~I));
    if ((unsignedValue & I) != 0) expected = SoftAdd(expected, {I, 0x403E}).value;
    differences.Check(fromUnsigned.signExponent == expected.signExponent &&
                          fromUnsigned.significand == expected.significand,
                      "from unsigned " + std::to_string(unsignedValue));
  }
}

// Every class of double, and random doubles of every exponent.
TEST(SoftExtendedAgainstX87, FromDouble) {
  Differences differences;
  const uint64_t edges[] = {0,
                            UINT64_C(0x8000000000000000),
                            1,
                            UINT64_C(0x000FFFFFFFFFFFFF),
                            UINT64_C(0x0010000000000000),
                            UINT64_C(0x7FEFFFFFFFFFFFFF),
                            UINT64_C(0x7FF0000000000000),
                            UINT64_C(0xFFF0000000000000),
                            UINT64_C(0x7FF0000000000001),
                            UINT64_C(0x7FF7FFFFFFFFFFFF),
                            UINT64_C(0x7FF8000000000000),
                            UINT64_C(0xFFF8000000000001),
                            UINT64_C(0x3FF0000000000000)};
  for (const uint64_t bits : edges) {
    CompareFromDouble(differences, bits);
    CompareFromDouble(differences, bits ^ UINT64_C(0x8000000000000000));
  }
  std::mt19937_64 random(1074);
  for (int i = 0; i < 100000; ++i) {
    uint64_t bits = random();
    if (i % 4 == 0) bits &= UINT64_C(0x800FFFFFFFFFFFFF);  // denormals
    if (i % 4 == 1) bits |= UINT64_C(0x7FF0000000000000);  // NaNs and infinities
    CompareFromDouble(differences, bits);
  }
}

}  // namespace
