#include "mpeg/crc16.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define PARTWELL_CRC16_CLMUL 1
#include <immintrin.h>
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
  const __m128i by128 = _mm_set_epi64x(static_cast<long long>(kHighBy128),
                                       static_cast<long long>(kLowBy128));
  const __m128i by512 = _mm_set_epi64x(static_cast<long long>(kHighBy512),
                                       static_cast<long long>(kLowBy512));
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

}  // namespace

uint16_t Crc16(const unsigned char* data, size_t length, uint16_t crc) {
#ifdef PARTWELL_CRC16_CLMUL
  static const bool canFold = __builtin_cpu_supports("pclmul");
  if (canFold && length >= 64) return Crc16Folded(data, length, crc);
#endif
  return Crc16Bytewise(data, length, crc);
}

}  // namespace partwell
