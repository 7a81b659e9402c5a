#include "mpeg/crc16.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#define PARTWELL_CRC16_CLMUL 1
#include <immintrin.h>
// 256-bit registers only where the compiler keeps the stack aligned for them (not on Windows).
#ifndef _WIN32
#define PARTWELL_CRC16_WIDE_CLMUL 1
#endif
#endif

namespace partwell {
namespace {

// x^16 + x^15 + x^2 + 1; the CRC register holds its terms in reversed bit order (0xA001).
constexpr uint32_t kPolynomial = 0x18005;
constexpr uint16_t kReflectedPolynomial = 0xA001;

struct Table {
  uint16_t entries[256] = {};
};

constexpr Table MakeTable() {
  Table table;
  for (int i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ kReflectedPolynomial)
                      : static_cast<uint16_t>(crc >> 1);
    }
    table.entries[i] = crc;
  }
  return table;
}

constexpr Table kTable = MakeTable();

uint16_t Crc16Bytewise(const unsigned char* data, size_t length, uint16_t crc) {
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>((crc >> 8) ^ kTable.entries[(crc ^ data[i]) & 0xFF]);
  }
  return crc;
}

#ifdef PARTWELL_CRC16_CLMUL
// Folding: the message is a polynomial whose first bit is its highest term, and the CRC is
// that polynomial times x^16, modulo P. A 16-byte block B followed by n more bits stands for
// B(x) x^n; it can be replaced, modulo P, by a product of at most 80 bits that stands in the
// place of the block 128 bits later, and added to that block. So the message folds down to
// its last 16 bytes (plus any tail), whose CRC is the message's.
//
// In a little-endian 128-bit register the bits run in reverse: bit j of a block is its term of
// degree 127 - j. The low half L (terms 127..64) moves by `distance` bits as L x^(distance + 64)
// and the high half H as H x^distance. A carry-less product of two reversed 64-bit operands
// comes out one place short of the block's order, so the constants are taken one power lower.

// x^n modulo P, its term x^d at bit d.
constexpr uint32_t XPowerModP(int n) {
  uint32_t value = 1;
  for (int i = 0; i < n; ++i) {
    value <<= 1;
    if (value & 0x10000) value ^= kPolynomial;
  }
  return value;
}

// x^n modulo P as a reversed 64-bit operand: its term x^d at bit 63 - d.
constexpr uint64_t Reversed(uint32_t polynomial) {
  uint64_t operand = 0;
  for (int d = 0; d < 16; ++d) {
    if ((polynomial >> d) & 1) operand |= uint64_t{1} << (63 - d);
  }
  return operand;
}

// The multipliers that move a block `distance` bits on: for its low half, then its high half.
constexpr uint64_t kLowBy128 = Reversed(XPowerModP(128 + 64 - 1));
constexpr uint64_t kHighBy128 = Reversed(XPowerModP(128 - 1));
constexpr uint64_t kLowBy512 = Reversed(XPowerModP(512 + 64 - 1));
constexpr uint64_t kHighBy512 = Reversed(XPowerModP(512 - 1));
constexpr uint64_t kLowBy1024 = Reversed(XPowerModP(1024 + 64 - 1));
constexpr uint64_t kHighBy1024 = Reversed(XPowerModP(1024 - 1));

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i block, __m128i multipliers,
                                                           const unsigned char* next) {
  __m128i low = _mm_clmulepi64_si128(block, multipliers, 0x00);
  __m128i high = _mm_clmulepi64_si128(block, multipliers, 0x11);
  __m128i following = _mm_loadu_si128(reinterpret_cast<const __m128i*>(next));
  return _mm_xor_si128(_mm_xor_si128(low, high), following);
}

// For 64 bytes or more: four blocks fold in step, 512 bits at a time, then into one.
__attribute__((target("pclmul,sse2"))) uint16_t Crc16Folded(const unsigned char* data,
                                                            size_t length, uint16_t crc) {
  const __m128i by128 =
      _mm_set_epi64x(static_cast<long long>(kHighBy128), static_cast<long long>(kLowBy128));
  const __m128i by512 =
      _mm_set_epi64x(static_cast<long long>(kHighBy512), static_cast<long long>(kLowBy512));
  auto load = [](const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  // A running CRC counts as if it were added to the first two bytes.
  __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(crc));
  __m128i x1 = load(data + 16);
  __m128i x2 = load(data + 32);
  __m128i x3 = load(data + 48);
  data += 64;
  length -= 64;
  for (; length >= 64; data += 64, length -= 64) {
    x0 = Fold(x0, by512, data);
    x1 = Fold(x1, by512, data + 16);
    x2 = Fold(x2, by512, data + 32);
    x3 = Fold(x3, by512, data + 48);
  }
  unsigned char blocks[48];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(blocks), x1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(blocks + 16), x2);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(blocks + 32), x3);
  __m128i x = x0;
  for (int i = 0; i < 3; ++i) x = Fold(x, by128, blocks + 16 * i);
  for (; length >= 16; data += 16, length -= 16) x = Fold(x, by128, data);
  unsigned char last[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x);
  return Crc16Bytewise(data, length, Crc16Bytewise(last, sizeof last, 0));
}
#endif

#ifdef PARTWELL_CRC16_WIDE_CLMUL
#define PARTWELL_WIDE __attribute__((target("avx2,vpclmulqdq,pclmul,sse2")))

PARTWELL_WIDE inline __m256i FoldWide(__m256i blocks, __m256i multipliers,
                                      const unsigned char* next) {
  __m256i low = _mm256_clmulepi64_epi128(blocks, multipliers, 0x00);
  __m256i high = _mm256_clmulepi64_epi128(blocks, multipliers, 0x11);
  __m256i following = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(next));
  return _mm256_xor_si256(_mm256_xor_si256(low, high), following);
}

// For 256 bytes or more: eight blocks fold in step, two to a register, 1024 bits at a time;
// the 128 bytes they come to go on through Crc16Folded with the rest.
PARTWELL_WIDE uint16_t Crc16FoldedWide(const unsigned char* data, size_t length, uint16_t crc) {
  const __m256i by1024 =
      _mm256_set_epi64x(static_cast<long long>(kHighBy1024), static_cast<long long>(kLowBy1024),
                        static_cast<long long>(kHighBy1024), static_cast<long long>(kLowBy1024));
  unsigned char held[128];
  std::memcpy(held, data, sizeof held);
  held[0] ^= static_cast<unsigned char>(crc);
  held[1] ^= static_cast<unsigned char>(crc >> 8);
  __m256i x[4];
  for (int i = 0; i < 4; ++i)
    x[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(held + 32 * i));
  data += sizeof held;
  length -= sizeof held;
  for (; length >= 128; data += 128, length -= 128) {
    for (int i = 0; i < 4; ++i) x[i] = FoldWide(x[i], by1024, data + 32 * i);
  }
  for (int i = 0; i < 4; ++i) _mm256_storeu_si256(reinterpret_cast<__m256i*>(held + 32 * i), x[i]);
  return Crc16(data, length, Crc16Folded(held, sizeof held, 0));
}
#endif

}  // namespace

uint16_t Crc16(const unsigned char* data, size_t length, uint16_t crc) {
#ifdef PARTWELL_CRC16_WIDE_CLMUL
  static const bool canFoldWide =
      __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq");
  if (canFoldWide && length >= 256) return Crc16FoldedWide(data, length, crc);
#endif
#ifdef PARTWELL_CRC16_CLMUL
  static const bool canFold = __builtin_cpu_supports("pclmul");
  if (canFold && length >= 64) return Crc16Folded(data, length, crc);
#endif
  return Crc16Bytewise(data, length, crc);
}

}  // namespace partwell
