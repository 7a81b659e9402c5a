#include "mpeg/crc16.h"

#include <array>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define PARTWELL_CARRY_LESS 1
#include <immintrin.h>
// Two blocks to a 256-bit register, where the compiler keeps the stack aligned for them (not
// on Windows).
#ifndef _WIN32
#define PARTWELL_WIDE_CARRY_LESS 1
#endif
#endif

namespace partwell {
namespace {

// kTables[k][b] is the CRC of byte b followed by k zero bytes: eight bytes a step.
using CrcTables = std::array<std::array<uint16_t, 256>, 8>;

constexpr CrcTables MakeTables() {
  CrcTables tables{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned crc = b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    tables[0][b] = static_cast<uint16_t>(crc);
  }
  for (size_t k = 1; k < tables.size(); ++k) {
    for (unsigned b = 0; b < 256; ++b) {
      uint16_t previous = tables[k - 1][b];
      tables[k][b] = static_cast<uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
    }
  }
  return tables;
}

constexpr CrcTables kTables = MakeTables();

uint16_t TableCrc(const unsigned char* data, size_t length, uint16_t crc) {
  const auto& t = kTables;
  for (; length >= 8; length -= 8, data += 8) {
    crc = static_cast<uint16_t>(t[7][(data[0] ^ crc) & 0xFF] ^ t[6][data[1] ^ (crc >> 8)] ^
                                t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]] ^
                                t[1][data[6]] ^ t[0][data[7]]);
  }
  for (; length > 0; --length, ++data) {
    crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ *data) & 0xFF]);
  }
  return crc;
}

#ifdef PARTWELL_CARRY_LESS
// Folding by carry-less multiplication. A 16-byte block X, loaded little-endian, holds a
// polynomial whose highest term is the first byte's lowest bit (the CRC is reflected); the
// CRC of the data so far is the CRC of X. Appending block D gives X x^128 + D, which is
// reduced modulo P = x^16 + x^15 + x^2 + 1 to 128 bits again: with X = H x^64 + L,
// H x^192 + L x^128 becomes H (x^192 mod P) + L (x^128 mod P). A product of two reflected
// 64-bit values comes out one place higher, so the constants are x^191 and x^127 mod P,
// reflected into 64 bits. Four blocks are folded side by side, 512 bits apart.
constexpr uint64_t PowerModP(int n) {
  uint32_t r = 1;
  for (int i = 0; i < n; ++i) {
    r <<= 1;
    if (r & 0x10000) r ^= 0x18005;
  }
  return r;
}

constexpr uint64_t Reflect64(uint64_t value) {
  uint64_t reflected = 0;
  for (int i = 0; i < 64; ++i) reflected |= ((value >> i) & 1) << (63 - i);
  return reflected;
}

constexpr long long FoldConstant(int n) { return static_cast<long long>(Reflect64(PowerModP(n))); }

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// For `length` of 64 or more.
__attribute__((target("pclmul,sse2"))) uint16_t FoldingCrc(const unsigned char* data, size_t length,
                                                           uint16_t crc) {
  const __m128i by512 = _mm_set_epi64x(FoldConstant(511), FoldConstant(575));
  const __m128i by128 = _mm_set_epi64x(FoldConstant(127), FoldConstant(191));
  __m128i x[4] = {_mm_xor_si128(Load(data), _mm_cvtsi32_si128(crc)), Load(data + 16),
                  Load(data + 32), Load(data + 48)};
  for (data += 64, length -= 64; length >= 64; data += 64, length -= 64) {
    for (int i = 0; i < 4; ++i) x[i] = _mm_xor_si128(Fold(x[i], by512), Load(data + 16 * i));
  }
  __m128i y = x[0];
  for (int i = 1; i < 4; ++i) y = _mm_xor_si128(Fold(y, by128), x[i]);
  for (; length >= 16; data += 16, length -= 16) y = _mm_xor_si128(Fold(y, by128), Load(data));
  alignas(16) unsigned char block[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(block), y);
  return TableCrc(data, length, TableCrc(block, sizeof block, 0));
}

bool CanFold() {
  static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return can;
}
#endif

#ifdef PARTWELL_WIDE_CARRY_LESS
#define PARTWELL_WIDE __attribute__((target("avx2,vpclmulqdq,pclmul,sse2")))

PARTWELL_WIDE inline __m256i LoadWide(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// For `length` of 256 or more: eight blocks side by side, two to a register, 1024 bits apart,
// down to 128 bytes that go on through FoldingCrc with the rest.
PARTWELL_WIDE uint16_t WideFoldingCrc(const unsigned char* data, size_t length, uint16_t crc) {
  const long long low = FoldConstant(1087), high = FoldConstant(1023);
  const __m256i by1024 = _mm256_set_epi64x(high, low, high, low);
  alignas(32) unsigned char held[128];
  for (int i = 0; i < 128; ++i) held[i] = data[i];
  held[0] ^= static_cast<unsigned char>(crc);
  held[1] ^= static_cast<unsigned char>(crc >> 8);
  __m256i x[4];
  for (int i = 0; i < 4; ++i) x[i] = LoadWide(held + 32 * i);
  for (data += 128, length -= 128; length >= 128; data += 128, length -= 128) {
    for (int i = 0; i < 4; ++i) {
      __m256i folded = _mm256_xor_si256(_mm256_clmulepi64_epi128(x[i], by1024, 0x00),
                                        _mm256_clmulepi64_epi128(x[i], by1024, 0x11));
      x[i] = _mm256_xor_si256(folded, LoadWide(data + 32 * i));
    }
  }
  for (int i = 0; i < 4; ++i) _mm256_store_si256(reinterpret_cast<__m256i*>(held + 32 * i), x[i]);
  return Crc16(data, length, FoldingCrc(held, sizeof held, 0));
}

bool CanFoldWide() {
  static const bool can =
      CanFold() && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq");
  return can;
}
#endif

}  // namespace

uint16_t Crc16(const unsigned char* data, size_t length, uint16_t crc) {
#ifdef PARTWELL_WIDE_CARRY_LESS
  if (length >= 256 && CanFoldWide()) return WideFoldingCrc(data, length, crc);
#endif
#ifdef PARTWELL_CARRY_LESS
  if (length >= 64 && CanFold()) return FoldingCrc(data, length, crc);
#endif
  return TableCrc(data, length, crc);
}

}  // namespace partwell
