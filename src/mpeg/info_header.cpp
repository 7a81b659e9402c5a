#include "mpeg/info_header.h"

#include <cstring>

#include "mpeg/frame_header.h"

namespace partwell {
namespace {

constexpr uint32_t kFramesFlag = 1;
constexpr uint32_t kBytesFlag = 2;
constexpr uint32_t kTocFlag = 4;
constexpr uint32_t kQualityFlag = 8;
constexpr size_t kTocBytes = 100;
// Within the LAME extension: music length, then the tag's own CRC, which covers the
// frame from its first byte up to that CRC.
constexpr size_t kLameMusicLength = 28;
constexpr size_t kLameTagCrc = 34;
constexpr size_t kLameTagBytes = 36;

size_t SideInfoBytes(uint32_t header) {
  bool mono = HeaderIsMono(header);
  if (HeaderVersion(header) == MpegVersion::kMpeg1) return mono ? 17 : 32;
  return mono ? 9 : 17;
}

void WriteBig32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

}  // namespace

uint16_t Crc16(const unsigned char* data, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
  }
  return crc;
}

std::optional<InfoHeaderLayout> FindInfoHeader(const unsigned char* frame, size_t length) {
  if (length < 4) return std::nullopt;
  uint32_t header = ReadBigEndian32(frame);
  if (!IsFrameHeader(header) || !HeaderIsLayer3(header)) return std::nullopt;
  size_t at = 4 + SideInfoBytes(header);
  if (at + 8 > length || std::memcmp(frame + at, "Info", 4) != 0) return std::nullopt;
  uint32_t flags = ReadBigEndian32(frame + at + 4);
  InfoHeaderLayout layout;
  size_t next = at + 8;
  if (flags & kFramesFlag) {
    layout.framesField = next;
    next += 4;
  }
  if (flags & kBytesFlag) {
    layout.bytesField = next;
    next += 4;
  }
  if (flags & kTocFlag) next += kTocBytes;
  if (flags & kQualityFlag) next += 4;
  if (next > length) return std::nullopt;
  if (next + kLameTagBytes <= length &&
      Crc16(frame, next + kLameTagCrc) ==
          ((frame[next + kLameTagCrc] << 8) | frame[next + kLameTagCrc + 1])) {
    layout.lameTag = next;
  }
  return layout;
}

void RewriteInfoHeader(unsigned char* frame, const InfoHeaderLayout& layout, uint32_t frames,
                       uint32_t bytes) {
  // The frame count leaves out the Info frame itself, which holds no audio.
  if (layout.framesField) WriteBig32(frame + *layout.framesField, frames > 0 ? frames - 1 : 0);
  if (layout.bytesField) WriteBig32(frame + *layout.bytesField, bytes);
  if (layout.lameTag) {
    size_t lame = *layout.lameTag;
    WriteBig32(frame + lame + kLameMusicLength, bytes);
    uint16_t crc = Crc16(frame, lame + kLameTagCrc);
    frame[lame + kLameTagCrc] = static_cast<unsigned char>(crc >> 8);
    frame[lame + kLameTagCrc + 1] = static_cast<unsigned char>(crc);
  }
}

}  // namespace partwell
