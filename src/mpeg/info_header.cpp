#include "mpeg/info_header.h"

#include <algorithm>
#include <cstring>

#include "mpeg/frame_header.h"

namespace partwell {
namespace {

// VBRI: the marker at byte 36 of the frame, then version, delay and quality (2 bytes each),
// bytes and frames (4 each).
constexpr size_t kVbriBytes = 10;
constexpr size_t kVbriFrames = 14;
constexpr size_t kVbriFixedBytes = 26;

bool StartsWith(const char* text, const char* prefix) {
  return std::memcmp(text, prefix, std::strlen(prefix)) == 0;
}

LameExtension ReadLameExtension(const unsigned char* frame, size_t at) {
  const unsigned char* p = frame + at;
  LameExtension lame;
  lame.offset = at;
  std::memcpy(lame.encoder, p, sizeof lame.encoder);
  const DelayPadding stated = ReadDelayPadding(p + kLameDelayPadding);
  lame.delay = stated.delay;
  lame.padding = stated.padding;
  lame.musicLength = ReadBigEndian32(p + kLameMusicLength);
  lame.musicCrc = ReadBigEndian16(p + kLameMusicCrc);
  lame.tagCrcHolds = Crc16(frame, at + kLameTagCrc) == ReadBigEndian16(p + kLameTagCrc);
  lame.trusted = StartsWith(lame.encoder, "LAME") || StartsWith(lame.encoder, "Lavf") ||
                 StartsWith(lame.encoder, "Lavc");
  return lame;
}

std::optional<VbrHeader> ReadXingHeader(const unsigned char* frame, size_t length, size_t at) {
  if (at + 8 > length) return std::nullopt;
  VbrHeader header;
  if (std::memcmp(frame + at, "Xing", 4) == 0) {
    header.kind = VbrHeaderKind::kXing;
  } else if (std::memcmp(frame + at, "Info", 4) == 0) {
    header.kind = VbrHeaderKind::kInfo;
  } else {
    return std::nullopt;
  }
  header.offset = at;
  header.flags = ReadBigEndian32(frame + at + 4);
  size_t next = at + 8;
  auto field = [&](uint32_t flag, size_t bytes) -> std::optional<size_t> {
    if (!(header.flags & flag)) return std::nullopt;
    size_t here = next;
    next += bytes;
    return here;
  };
  header.framesField = field(kXingFramesFlag, 4);
  header.bytesField = field(kXingBytesFlag, 4);
  header.tocField = field(kXingTocFlag, kXingTocBytes);
  header.qualityField = field(kXingQualityFlag, 4);
  if (next > length) return std::nullopt;
  if (header.framesField) header.frames = ReadBigEndian32(frame + *header.framesField);
  if (header.bytesField) header.bytes = ReadBigEndian32(frame + *header.bytesField);
  // An extension is there when its encoder string does not begin with a zero byte.
  if (next + kLameExtensionBytes <= length && frame[next] != 0) {
    header.lame = ReadLameExtension(frame, next);
  }
  return header;
}

std::optional<VbrHeader> ReadVbriHeader(const unsigned char* frame, size_t length) {
  if (kVbriOffset + kVbriFixedBytes > length || std::memcmp(frame + kVbriOffset, "VBRI", 4) != 0) {
    return std::nullopt;
  }
  VbrHeader header;
  header.kind = VbrHeaderKind::kVbri;
  header.offset = kVbriOffset;
  header.flags = kXingFramesFlag | kXingBytesFlag;
  header.bytesField = kVbriOffset + kVbriBytes;
  header.framesField = kVbriOffset + kVbriFrames;
  header.bytes = ReadBigEndian32(frame + *header.bytesField);
  header.frames = ReadBigEndian32(frame + *header.framesField);
  return header;
}

}  // namespace

std::optional<VbrHeader> ReadVbrHeader(const unsigned char* frame, size_t length) {
  if (length < 4) return std::nullopt;
  uint32_t word = ReadBigEndian32(frame);
  if (!IsFrameHeader(word) || !HeaderIsLayer3(word)) return std::nullopt;
  if (auto xing = ReadXingHeader(frame, length, 4 + Layer3SideInfoBytes(word))) return xing;
  return ReadVbriHeader(frame, length);
}

void UpdateVbrHeader(unsigned char* frame, const VbrHeader& header, const VbrHeaderUpdate& update) {
  if (header.framesField) WriteBigEndian32(frame + *header.framesField, update.audioFrames);
  if (header.bytesField) WriteBigEndian32(frame + *header.bytesField, update.bytes);
  if (header.tocField && update.toc) {
    std::memcpy(frame + *header.tocField, update.toc->data(), kXingTocBytes);
  }
  if (!header.lame || !header.lame->tagCrcHolds) return;
  unsigned char* lame = frame + header.lame->offset;
  WriteDelayPadding(lame + kLameDelayPadding, update.delay.value_or(header.lame->delay),
                    update.padding.value_or(header.lame->padding));
  WriteBigEndian32(lame + kLameMusicLength, update.bytes);
  if (update.musicCrc) WriteBigEndian16(lame + kLameMusicCrc, *update.musicCrc);
  WriteBigEndian16(lame + kLameTagCrc, Crc16(frame, header.lame->offset + kLameTagCrc));
}

std::vector<unsigned char> MakeInfoFrame(const InfoFrameFields& fields) {
  std::vector<unsigned char> frame(static_cast<size_t>(Layer3FrameLength(fields.header)), 0);
  WriteBigEndian32(frame.data(), fields.header);
  unsigned char* p = frame.data() + 4 + Layer3SideInfoBytes(fields.header);
  std::memcpy(p, fields.xing ? "Xing" : "Info", 4);
  WriteBigEndian32(p + 4, kXingFramesFlag | kXingBytesFlag | kXingTocFlag | kXingQualityFlag);
  WriteBigEndian32(p + 8, fields.audioFrames);
  WriteBigEndian32(p + 12, fields.bytes);
  std::copy(fields.toc.begin(), fields.toc.end(), p + 16);
  WriteBigEndian32(p + 16 + kXingTocBytes, fields.quality);
  unsigned char* lame = p + 20 + kXingTocBytes;
  std::copy(fields.lame.begin(), fields.lame.end(), lame);
  WriteDelayPadding(lame + kLameDelayPadding, fields.delay, fields.padding);
  WriteBigEndian32(lame + kLameMusicLength, fields.bytes);
  WriteBigEndian16(lame + kLameMusicCrc, fields.musicCrc);
  WriteBigEndian16(lame + kLameTagCrc,
                   Crc16(frame.data(), static_cast<size_t>(lame - frame.data()) + kLameTagCrc));
  return frame;
}

}  // namespace partwell
