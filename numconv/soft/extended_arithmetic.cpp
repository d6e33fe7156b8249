// The operations of the software extended real, each checked against the control word at once.
//
// They are never inlined: the address that a fault reports is the return address of the
// operation, the place just after its call in the code that asked for it.
#include "numconv/fpu_control.h"

#include <cstring>

#include "call_site.h"  // the platform backend's: CALL_SITE(), the return address of a function
#include "platform/faults.h"

thread_local uint16_t SoftControlWord = 0x037F;
thread_local uint16_t SoftStatusWord = 0;

namespace {

[[noreturn, gnu::noinline, gnu::cold]] void RaiseFault(uint32_t unmasked, const void* address) {
  platform::RaiseFloatingPointFault(platform::FloatingPointFaultStatus(unmasked), address);
}

// Records the flags in the status word and faults for those the control word does not mask.
inline void Check(uint32_t flags, const void* address) {
  if (flags == 0) return;
  SoftStatusWord = static_cast<uint16_t>(SoftStatusWord | (flags & 0x3F));
  const uint32_t unmasked = SoftUnmaskedExceptions(flags, SoftControlWord);
  if (unmasked != 0) [[unlikely]]
    RaiseFault(unmasked, address);
}

inline Extended Checked(SoftResult result, const void* address) {
  Check(result.flags, address);
  return Extended(result.value);
}

inline bool Ordered(SoftComparison comparison, const void* address, SoftOrder a, SoftOrder b) {
  Check(comparison.flags, address);
  return comparison.order == a || comparison.order == b;
}

}  // namespace

__attribute__((noinline)) SoftExtended WidenedSpecialDouble(double value) {
  const SoftResult result = SoftFromDouble(value);
  Check(result.flags, CALL_SITE());
  return result.value;
}

static_assert(LDBL_MANT_DIG == 64 || (LDBL_MANT_DIG == 113 && sizeof(long double) == 16),
              "long double is either the x87 format or IEEE binary128");

Extended::Extended(long double value) {
  if constexpr (LDBL_MANT_DIG == 64) {
    std::memcpy(&bits.significand, &value, 8);
    std::memcpy(&bits.signExponent, reinterpret_cast<const char*>(&value) + 8, 2);
  } else {
    uint64_t halves[2];
    std::memcpy(halves, &value, sizeof halves);
    bits = SoftFromBinary128(halves[1], halves[0]).value;
  }
}

__attribute__((noinline)) Extended operator+(Extended a, Extended b) {
  return Checked(SoftAdd(a.bits, b.bits), CALL_SITE());
}
__attribute__((noinline)) Extended operator-(Extended a, Extended b) {
  return Checked(SoftSubtract(a.bits, b.bits), CALL_SITE());
}
__attribute__((noinline)) Extended operator*(Extended a, Extended b) {
  return Checked(SoftMultiply(a.bits, b.bits), CALL_SITE());
}
__attribute__((noinline)) Extended operator/(Extended a, Extended b) {
  return Checked(SoftDivide(a.bits, b.bits), CALL_SITE());
}

__attribute__((noinline)) bool operator<(Extended a, Extended b) {
  return Ordered(SoftCompare(a.bits, b.bits), CALL_SITE(), SoftOrder::Less, SoftOrder::Less);
}
__attribute__((noinline)) bool operator<=(Extended a, Extended b) {
  return Ordered(SoftCompare(a.bits, b.bits), CALL_SITE(), SoftOrder::Less, SoftOrder::Equal);
}
__attribute__((noinline)) bool operator>(Extended a, Extended b) {
  return Ordered(SoftCompare(a.bits, b.bits), CALL_SITE(), SoftOrder::Greater, SoftOrder::Greater);
}
__attribute__((noinline)) bool operator>=(Extended a, Extended b) {
  return Ordered(SoftCompare(a.bits, b.bits), CALL_SITE(), SoftOrder::Greater, SoftOrder::Equal);
}
__attribute__((noinline)) bool operator==(Extended a, Extended b) {
  return Ordered(SoftCompareQuiet(a.bits, b.bits), CALL_SITE(), SoftOrder::Equal, SoftOrder::Equal);
}
__attribute__((noinline)) bool operator!=(Extended a, Extended b) {
  const SoftComparison comparison = SoftCompareQuiet(a.bits, b.bits);
  Check(comparison.flags, CALL_SITE());
  return comparison.order != SoftOrder::Equal;
}

__attribute__((noinline)) double StoreToDouble(Extended value) {
  const SoftDoubleResult result = SoftToDouble(value.bits);
  Check(result.flags, CALL_SITE());
  return result.value;
}

__attribute__((noinline)) Extended::operator double() const {
  const SoftDoubleResult result = SoftToDouble(bits);
  Check(result.flags, CALL_SITE());
  return result.value;
}

__attribute__((noinline)) int64_t RoundToInt64(Extended value) {
  const SoftIntegerResult result = SoftRoundToInt64(value.bits);
  Check(result.flags, CALL_SITE());
  return result.value;
}
