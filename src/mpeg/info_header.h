// The header that encoders put in the first frame of a stream to describe the whole of it:
// "Xing" (variable bit rate) or "Info" (constant bit rate), often followed by a LAME
// extension with the encoder delay and padding, or Fraunhofer's "VBRI". The frame holds no
// audio. It states the stream's frame and byte counts, so a file cut from a stream or
// joined from several must carry its own numbers or players show a wrong length.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "mpeg/byte_order.h"
#include "mpeg/crc16.h"

namespace partwell {

enum class VbrHeaderKind { kXing, kInfo, kVbri };

// Xing/Info flags: which optional fields follow.
constexpr uint32_t kXingFramesFlag = 1;
constexpr uint32_t kXingBytesFlag = 2;
constexpr uint32_t kXingTocFlag = 4;
constexpr uint32_t kXingQualityFlag = 8;
constexpr size_t kXingTocBytes = 100;
// The LAME extension: 36 bytes after the Xing/Info fields. Offsets within it.
constexpr size_t kLameExtensionBytes = 36;
constexpr size_t kLameDelayPadding = 21;  // 12 bits delay, then 12 bits padding
constexpr size_t kLameMusicLength = 28;
constexpr size_t kLameMusicCrc = 32;
constexpr size_t kLameTagCrc = 34;  // CRC of the frame from its first byte up to here
// The VBRI marker's offset in its frame, from the frame header's first byte.
constexpr size_t kVbriOffset = 36;

// The samples every decoder outputs before the first sample of the first audio frame.
constexpr int kDecoderDelay = 529;
// The largest delay or padding that every tag reader accepts (the field holds up to 4095).
constexpr int kMaxTagDelay = 3000;

// The encoder delay and padding of a LAME extension, 12 bits each in three bytes at `p`.
struct DelayPadding {
  int delay = 0;
  int padding = 0;
};
constexpr DelayPadding ReadDelayPadding(const unsigned char* p) {
  const uint32_t both = ReadBigEndian(p, 3);
  return {static_cast<int>(both >> 12), static_cast<int>(both & 0xFFF)};
}
// Writes the low 12 bits of each.
constexpr void WriteDelayPadding(unsigned char* p, int delay, int padding) {
  const uint32_t both =
      (static_cast<uint32_t>(delay) & 0xFFF) << 12 | (static_cast<uint32_t>(padding) & 0xFFF);
  WriteBigEndian(p, both, 3);
}

struct LameExtension {
  size_t offset = 0;     // of the extension in the frame
  char encoder[9] = {};  // e.g. "LAME3.100", not terminated
  int delay = 0;         // encoder delay, samples
  int padding = 0;       // padding at the end, samples
  uint32_t musicLength = 0;
  uint16_t musicCrc = 0;
  bool tagCrcHolds = false;
  // The encoder string starts "LAME", "Lavf" or "Lavc": decoders then trim delay and padding.
  bool trusted = false;
};

struct VbrHeader {
  VbrHeaderKind kind = VbrHeaderKind::kXing;
  size_t offset = 0;  // of the "Xing", "Info" or "VBRI" marker in the frame
  uint32_t flags = 0;
  // Offsets in the frame of the big-endian fields the header has.
  std::optional<size_t> framesField;   // audio frames after this frame
  std::optional<size_t> bytesField;    // this frame and every audio frame
  std::optional<size_t> tocField;      // Xing: 100 one-byte entries
  std::optional<size_t> qualityField;  // Xing: the encoder's quality, 0 to 100
  std::optional<uint32_t> frames;      // the values stated
  std::optional<uint32_t> bytes;
  std::optional<LameExtension> lame;  // Xing and Info only
};

// Reads the header in `frame` (its first `length` bytes, from the frame header on) where
// decoders look for it: Xing/Info right after the side information (also when the frame
// has a CRC), VBRI at byte 36. Nothing when the frame holds none or is too short for it.
std::optional<VbrHeader> ReadVbrHeader(const unsigned char* frame, size_t length);

// The numbers of a stream that a rewritten header states.
struct VbrHeaderUpdate {
  uint32_t audioFrames = 0;  // frames after the header frame
  uint32_t bytes = 0;        // from the header frame's first byte to the end of the audio
  const std::array<uint8_t, kXingTocBytes>* toc = nullptr;  // new TOC, when the header has one
  std::optional<int> delay;  // LAME encoder delay and padding, when they change
  std::optional<int> padding;
  std::optional<uint16_t> musicCrc;  // LAME music CRC, when it is known
};

// Writes the update into the header's fields. The LAME extension (when its tag CRC held)
// gets the music length, the delay, padding and music CRC given, and a new tag CRC; one
// whose CRC did not hold is left alone, as its fields may mean something else.
void UpdateVbrHeader(unsigned char* frame, const VbrHeader& header, const VbrHeaderUpdate& update);

// Entry i of a Xing TOC is taken at audio frame XingTocFrame(i, frames) ...
constexpr uint64_t XingTocFrame(int i, uint64_t frames) {
  return static_cast<uint64_t>(i) * frames / 100;
}
// ... and is that frame's offset from the header frame's start, in 256ths of `bytes`.
constexpr uint8_t XingTocEntry(uint64_t offset, uint64_t bytes) {
  return bytes == 0 || offset * 256 / bytes > 255 ? 255
                                                  : static_cast<uint8_t>(offset * 256 / bytes);
}

// The bytes of a Xing/Info header with every field and a LAME extension.
constexpr size_t kInfoTagBytes = 8 + 4 + 4 + kXingTocBytes + 4 + kLameExtensionBytes;

// What a made-up Info or Xing frame states: the header frame of a track of an exact split.
struct InfoFrameFields {
  uint32_t header = 0;  // the frame's own header, without a CRC
  bool xing = false;    // "Xing" when the audio frames' bit rates differ, else "Info"
  uint32_t audioFrames = 0;
  uint32_t bytes = 0;  // this frame and every audio frame
  std::array<uint8_t, kXingTocBytes> toc{};
  uint32_t quality = 0;
  // The LAME extension's bytes: encoder string, method, lowpass, flags and the others are
  // taken as they are; delay, padding, music length, music CRC and tag CRC are set.
  std::array<uint8_t, kLameExtensionBytes> lame{};
  int delay = 0;
  int padding = 0;
  uint16_t musicCrc = 0;
};

// The frame: header, zero side information, the Xing/Info fields with all four flags, the
// LAME extension (music length = bytes, tag CRC over the frame up to it), zeros to the end.
// The header's frame must hold 4 + side information + kInfoTagBytes bytes.
std::vector<unsigned char> MakeInfoFrame(const InfoFrameFields& fields);

// The bytes of a frame that hold a Xing or Info header with every field and a LAME
// extension, after the side information of an MPEG-1 stereo frame (the largest).
constexpr size_t kInfoHeaderSpan = 4 + 32 + kInfoTagBytes;

}  // namespace partwell
