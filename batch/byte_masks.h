// Input bytes looked at eight in one 64-bit word or sixteen in one vector: a mask with bit 7 (in
// a vector: all bits) of every byte that has a property set. Each byte is computed on its own (no
// carry crosses into the next byte), so the lowest set bit names the first byte with the
// property. Words are loaded as numconv/byte_words.h loads them: the first byte is the lowest.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

#include "numconv/byte_words.h"

namespace bytemask {

using byteword::High;
using byteword::Load;
using byteword::Low7;
using byteword::Ones;

// Bytes that are not zero.
inline uint64_t NonZero(uint64_t word) { return (((word & Low7) + Low7) | word) & High; }

// Bytes equal to c.
inline uint64_t Equal(uint64_t word, char c) {
  return ~NonZero(word ^ (Ones * static_cast<unsigned char>(c))) & High;
}

// A mask (bit 7 of each byte that has a property) as eight bits, bit i for byte i: the
// multiplication gathers bit 8i + 7 into bit 56 + i (the test checks all 256 masks).
inline uint32_t BitPerByte(uint64_t mask) {
  return static_cast<uint32_t>(((mask >> 7) * UINT64_C(0x0102040810204080)) >> 56);
}

// The number of LF bytes in data[0, size).
inline size_t CountLineEnds(const char* data, size_t size) {
  size_t count = 0;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    // One 1 in each byte that is a LF; the multiplication adds the bytes up into the top one.
    count += static_cast<size_t>((((Equal(Load(data + i), '\n') >> 7) * Ones) >> 56));
  }
  for (; i < size; ++i) count += data[i] == '\n' ? 1 : 0;
  return count;
}

// Sixteen bytes at a time, as one vector where the target has vector registers (GCC's generic
// vectors: SSE2 on x86-64, NEON on aarch64, SIMD128 on WebAssembly; plain words elsewhere). No
// vector is passed or returned by value, so the calling convention of targets without vector
// registers is not touched.
typedef unsigned char Bytes16 __attribute__((vector_size(16)));

// One bit per byte of a vector of marks (0xFF or 0), bit i for byte i, as SSE2's PMOVMSKB gives
// them.
[[gnu::always_inline]] inline uint32_t MarkBits(const Bytes16& marks) {
#if defined(__SSE2__)
  return static_cast<uint32_t>(_mm_movemask_epi8(reinterpret_cast<const __m128i&>(marks)));
#elif defined(__wasm_simd128__)
  return static_cast<uint32_t>(wasm_i8x16_bitmask(reinterpret_cast<const v128_t&>(marks)));
#else
  uint64_t low;
  uint64_t high;
  std::memcpy(&low, &marks, 8);
  std::memcpy(&high, reinterpret_cast<const char*>(&marks) + 8, 8);
  return BitPerByte(low & High) | BitPerByte(high & High) << 8;
#endif
}

// The number of bytes at p, 0 to 16, before the first one that ends a run of an unquoted field's
// characters (16 when none does): the bytes 0..32, the delimiter and the double quote. Reads 16
// bytes. In a line, each field's end is where the search for the next one starts: the steps from
// the load to the count are the chain from field to field, so they are few, and without a branch
// on which half holds the end (the field lengths of a file follow no pattern).
// `delimiters` holds the delimiter in each of its bytes (a scan makes it once, not each run).
[[gnu::always_inline]] inline uint32_t FieldRunLength(const char* p, const Bytes16& delimiters) {
  Bytes16 bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  const Bytes16 stops =
      __builtin_convertvector((bytes <= 32) | (bytes == delimiters) | (bytes == '"'), Bytes16);
  return static_cast<uint32_t>(std::countr_zero(MarkBits(stops) | 1u << 16));
}

[[gnu::always_inline]] inline uint32_t FieldRunLength(const char* p, char delimiter) {
  Bytes16 delimiters;
  std::memset(&delimiters, delimiter, sizeof delimiters);
  return FieldRunLength(p, delimiters);
}

// The same for the characters between a field's quotes: the run ends at a quote, CR, LF or a
// zero byte.
[[gnu::always_inline]] inline uint32_t QuotedRunLength(const char* p) {
  Bytes16 bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  const Bytes16 stops = __builtin_convertvector(
      (bytes == '"') | (bytes == '\r') | (bytes == '\n') | (bytes == 0), Bytes16);
  return static_cast<uint32_t>(std::countr_zero(MarkBits(stops) | 1u << 16));
}

// The first `count` (0 to 16) of the 16 bytes at p, followed by zeros, written to out as 16 bytes
// in one store: a later load of any part of them is served from that store.
[[gnu::always_inline]] inline void CopyRunWithZeros(const char* p, uint32_t count, char* out) {
  // From Keep + 16 - count on, sixteen bytes are `count` times 0xFF, then zeros.
  static constexpr unsigned char Keep[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                             0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  Bytes16 bytes;
  Bytes16 kept;
  std::memcpy(&bytes, p, sizeof bytes);
  std::memcpy(&kept, Keep + 16 - count, sizeof kept);
  bytes &= kept;
  std::memcpy(out, &bytes, sizeof bytes);
}

}  // namespace bytemask
