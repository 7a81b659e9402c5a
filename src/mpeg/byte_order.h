// The byte orders of the formats: big-endian numbers (frame headers, Xing/Info and LAME
// fields, ID3v2 frame sizes and flags) and ID3v2's syncsafe numbers (seven bits a byte, the
// top bit clear so that no tag byte looks like a frame sync).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace partwell {

// The `bytes` (1 to 4) bytes at `p` as one big-endian number.
constexpr uint32_t ReadBigEndian(const unsigned char* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}
constexpr uint16_t ReadBigEndian16(const unsigned char* p) {
  return static_cast<uint16_t>(ReadBigEndian(p, 2));
}
constexpr uint32_t ReadBigEndian32(const unsigned char* p) { return ReadBigEndian(p, 4); }

// Writes the low `bytes` (1 to 4) bytes of `value` at `p`, the highest first.
constexpr void WriteBigEndian(unsigned char* p, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(value >> (8 * (bytes - 1 - i)));
}
constexpr void WriteBigEndian16(unsigned char* p, uint16_t value) { WriteBigEndian(p, value, 2); }
constexpr void WriteBigEndian32(unsigned char* p, uint32_t value) { WriteBigEndian(p, value, 4); }

// Appends the low `bytes` bytes of `value` to `out`, the highest first.
inline void AppendBigEndian(std::vector<unsigned char>& out, uint32_t value, int bytes) {
  out.resize(out.size() + static_cast<size_t>(bytes));
  WriteBigEndian(out.data() + out.size() - bytes, value, bytes);
}

// The four syncsafe bytes at `p`; nothing when one has its top bit set.
constexpr std::optional<uint32_t> ReadSyncSafe32(const unsigned char* p) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (p[i] & 0x80) return std::nullopt;
    value = value << 7 | p[i];
  }
  return value;
}
// Writes the low 28 bits of `value` as four syncsafe bytes at `p`.
constexpr void WriteSyncSafe32(unsigned char* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (7 * (3 - i)) & 0x7F);
}

// A count stated in a 32-bit field: one larger than the field holds is stated as its largest.
constexpr uint32_t Saturated32(uint64_t value) {
  return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

}  // namespace partwell
