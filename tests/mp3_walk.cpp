#include "mp3_walk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace partwell::test {
namespace {

// Layer III frame length in bytes, or 0 when `p` holds no Layer III frame header whose
// length the header gives.
size_t Layer3Bytes(const unsigned char* p) {
  static const int kKbps[2][15] = {
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
  static const int kRates[3] = {44100, 48000, 32000};
  const int version = (p[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int rateIndex = (p[2] >> 2) & 3;
  const int kbpsIndex = p[2] >> 4;
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0 || version == 1 || ((p[1] >> 1) & 3) != 1 ||
      kbpsIndex == 0 || kbpsIndex == 15 || rateIndex == 3) {
    return 0;
  }
  const bool mpeg1 = version == 3;
  const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  return static_cast<size_t>((mpeg1 ? 144000 : 72000) * kKbps[mpeg1][kbpsIndex] / rate +
                             ((p[2] >> 1) & 1));
}

size_t SideInfoBytes(const unsigned char* p) {
  const bool mpeg1 = ((p[1] >> 3) & 3) == 3;
  const bool mono = (p[3] >> 6) == 3;
  return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

std::optional<WalkedHeader> ReadHeaderFrame(const unsigned char* frame, size_t length) {
  WalkedHeader h;
  size_t at = 4 + SideInfoBytes(frame);
  if (length >= 36 + 26 && std::memcmp(frame + 36, "VBRI", 4) == 0) {
    h.marker = "VBRI";
    h.bytesField = 36 + 10;
    h.framesField = 36 + 14;
    return h;
  }
  if (at + 8 > length) return std::nullopt;
  h.marker.assign(reinterpret_cast<const char*>(frame + at), 4);
  if (h.marker != "Xing" && h.marker != "Info") return std::nullopt;
  const uint32_t flags = BigEndian(frame + at + 4, 4);
  at += 8;
  if (flags & 1) h.framesField = at, at += 4;
  if (flags & 2) h.bytesField = at, at += 4;
  if (flags & 4) h.toc.assign(frame + at, frame + at + 100), at += 100;
  if (flags & 8) at += 4;
  if (at + 36 <= length && frame[at] != 0) {
    h.lame = true;
    h.encoder.assign(reinterpret_cast<const char*>(frame + at), 9);
    h.delay = static_cast<int>(BigEndian(frame + at + 21, 3) >> 12);
    h.padding = static_cast<int>(BigEndian(frame + at + 21, 3) & 0xFFF);
    h.musicLengthField = at + 28;
    h.musicCrcField = at + 32;
    h.tagCrcField = at + 34;
  }
  return h;
}

}  // namespace

uint32_t BigEndian(const unsigned char* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
  return value;
}

uint16_t BitByBitCrc16(const unsigned char* data, size_t length, uint16_t crc) {
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

WalkedFile WalkMp3(const std::vector<unsigned char>& file) {
  WalkedFile walked;
  const size_t size = file.size();
  while (walked.tagsEnd + 10 <= size && std::memcmp(&file[walked.tagsEnd], "ID3", 3) == 0) {
    const unsigned char* h = &file[walked.tagsEnd];
    size_t body = (size_t{h[6]} << 21) | (size_t{h[7]} << 14) | (size_t{h[8]} << 7) | h[9];
    walked.tagsEnd += 10 + body + ((h[5] & 0x10) ? 10 : 0);
  }
  auto frameAt = [&](size_t at) { return at + 4 <= size ? Layer3Bytes(&file[at]) : 0; };
  auto confirmed = [&](size_t at) {
    size_t length = frameAt(at);
    return length > 0 && at + length <= size && (at + length == size || frameAt(at + length) > 0);
  };
  bool first = true;
  bool inStep = false;  // at the end of a frame: a header there needs no confirming
  for (size_t at = walked.tagsEnd; at + 4 <= size;) {
    size_t length = frameAt(at);
    if (length == 0 || at + length > size || (!inStep && !confirmed(at))) {
      ++at;
      inStep = false;
      continue;
    }
    inStep = true;
    if (first) {
      first = false;
      walked.firstFrame = at;
      walked.firstFrameBytes = length;
      walked.header = ReadHeaderFrame(&file[at], length);
      if (walked.header) {
        at += length;
        continue;
      }
    }
    walked.frames.push_back(at);
    walked.headers.push_back(BigEndian(&file[at], 4));
    at += length;
  }
  return walked;
}

void ExpectHeaderSpeaksForFile(const WalkedFile& walked, const std::vector<unsigned char>& file) {
  ASSERT_TRUE(walked.header) << "the file has no header frame";
  const WalkedHeader& h = *walked.header;
  const unsigned char* frame = &file[walked.firstFrame];
  const size_t bytes = file.size() - walked.firstFrame;
  const size_t frames = walked.frames.size();
  EXPECT_EQ(BigEndian(frame + h.framesField, 4), frames) << "frame count";
  EXPECT_EQ(BigEndian(frame + h.bytesField, 4), bytes) << "byte count";
  for (size_t i = 0; i < h.toc.size(); ++i) {
    size_t offset = walked.frames.at(i * frames / 100) - walked.firstFrame;
    EXPECT_EQ(h.toc[i], std::min<size_t>(255, offset * 256 / bytes)) << "TOC entry " << i;
  }
  if (!h.lame) return;
  const unsigned char* music = frame + walked.firstFrameBytes;
  EXPECT_EQ(BigEndian(frame + h.musicLengthField, 4), bytes) << "LAME music length";
  EXPECT_EQ(BigEndian(frame + h.musicCrcField, 2),
            BitByBitCrc16(music, file.size() - walked.firstFrame - walked.firstFrameBytes))
      << "LAME music CRC";
  EXPECT_EQ(BigEndian(frame + h.tagCrcField, 2), BitByBitCrc16(frame, h.tagCrcField))
      << "LAME tag CRC";
}

}  // namespace partwell::test
