// The MPEG audio frame header word, the validity test shared by the source probe and the
// split engine's re-synchronisation, and the sizes that follow from a header.
//
//   AAAAAAAA AAABBCCD EEEEFFGH IIJJKLMM
//   A sync (11 bits, all ones)   B version (11 MPEG-1, 10 MPEG-2, 00 MPEG-2.5, 01 reserved)
//   C layer (01 III, 10 II, 11 I, 00 reserved)   E bit rate index   F sampling rate index
//   G padding   I channel mode (11 mono)   M emphasis (10 reserved)
#pragma once

#include <cstdint>

#include "mpeg/byte_order.h"

namespace partwell {

enum class MpegVersion { kMpeg1, kMpeg2, kMpeg25, kReserved };

// The fields of the header word, as masks.
constexpr uint32_t kSyncBits = 0xFFE00000u;
constexpr uint32_t kNoCrcBit = 0x00010000u;  // the protection bit set: no CRC follows
constexpr uint32_t kBitRateBits = 0x0000F000u;
constexpr uint32_t kPaddingBit = 0x00000200u;
constexpr uint32_t kModeExtensionBits = 0x00000030u;
constexpr uint32_t kEmphasisBits = 0x00000003u;
// Version, layer and sampling rate: what every frame of one stream shares.
constexpr uint32_t kStreamBits = 0xFFFE0C00u;

constexpr uint32_t HeaderVersionBits(uint32_t word) { return (word >> 19) & 3; }
constexpr uint32_t HeaderLayerBits(uint32_t word) { return (word >> 17) & 3; }
constexpr int HeaderBitRateIndex(uint32_t word) { return static_cast<int>((word >> 12) & 15); }
constexpr uint32_t HeaderSampleRateIndex(uint32_t word) { return (word >> 10) & 3; }
constexpr uint32_t HeaderPadding(uint32_t word) { return (word >> 9) & 1; }
constexpr bool HeaderIsMono(uint32_t word) { return ((word >> 6) & 3) == 3; }
constexpr bool HeaderIsLayer3(uint32_t word) { return HeaderLayerBits(word) == 1; }
MpegVersion HeaderVersion(uint32_t word);

// The six-condition test: sync, bit rate index not 15, sampling rate index not 3,
// version not reserved, layer not reserved, emphasis not reserved. Any layer passes.
bool IsFrameHeader(uint32_t word);

// Layer III bit rate in kbps for the header's version and bit rate index: the MPEG-1 row,
// or the MPEG-2 lower-sampling-frequency row for MPEG-2 and MPEG-2.5. Index 0 gives 0.
int Layer3BitRate(uint32_t word);

// Sampling rate in Hz, or 0 for the reserved index.
int SampleRate(uint32_t word);
// Samples per Layer III frame: 1152 for MPEG-1, 576 otherwise.
int Layer3SamplesPerFrame(uint32_t word);
// Length in bytes of the Layer III frame that the header begins, padding included;
// 0 for free format or a reserved sampling rate.
int Layer3FrameLength(uint32_t word);

// Length in bytes of the frame that a header of any layer begins, padding included; 0 for
// free format, a reserved layer, version or sampling rate, or bit rate index 15.
int FrameLength(uint32_t word);
// Samples per channel in a frame of any layer: 384 (I), 1152 (II, MPEG-1 III), 576 (LSF III).
int SamplesPerFrame(uint32_t word);
constexpr int ChannelCount(uint32_t word) { return HeaderIsMono(word) ? 1 : 2; }
constexpr bool HeaderHasCrc(uint32_t word) { return (word & kNoCrcBit) == 0; }
// Bytes of Layer III side information after the header (and its CRC, when there is one):
// 32 or 17 for MPEG-1 stereo or mono, 17 or 9 for MPEG-2 and 2.5. (Inline: a scan asks for
// every frame.)
constexpr int Layer3SideInfoBytes(uint32_t word) {
  const bool mono = HeaderIsMono(word);
  if (HeaderVersionBits(word) == 3) return mono ? 17 : 32;
  return mono ? 9 : 17;
}

// Whether two headers belong to one stream: the same version, layer and sampling rate.
constexpr bool SameStream(uint32_t a, uint32_t b) { return ((a ^ b) & kStreamBits) == 0; }
// ... and have one bit rate.
constexpr bool SameBitRate(uint32_t a, uint32_t b) {
  return SameStream(a, b) && HeaderBitRateIndex(a) == HeaderBitRateIndex(b);
}

// Within one stream, a frame's length depends only on the bit rate index, the padding bit
// and the emphasis (a free-format or reserved one aside): the 7-bit key of a length table ...
constexpr uint32_t kLengthKeys = 128;
constexpr uint32_t LengthKey(uint32_t word) {
  return ((word >> 9) & 0x78) | ((word >> 7) & 4) | (word & kEmphasisBits);
}
// ... and the header of `stream`'s frames that has `key`.
constexpr uint32_t HeaderOfLengthKey(uint32_t stream, uint32_t key) {
  return (stream & kStreamBits) | (key & 0x78) << 9 | (key & 4) << 7 | (key & kEmphasisBits);
}
static_assert(LengthKey(HeaderOfLengthKey(0xFFFB0000u, 0x7F)) == 0x7F);

}  // namespace partwell
