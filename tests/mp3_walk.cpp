#include "mp3_walk.h"

#include <algorithm>
#include <cstring>

namespace partwell::test {
namespace {

size_t SideInfoBytes(const unsigned char* p) {
  const bool mpeg1 = ((p[1] >> 3) & 3) == 3;
  const bool mono = (p[3] >> 6) == 3;
  return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

// The size of the ID3v2 tag whose header begins at `h`: "ID3", a version below 0xFF and a
// size of four bytes that each leave the top bit clear; 0 when no tag begins there.
size_t Id3v2TagBytes(const unsigned char* h) {
  if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF ||
      ((h[6] | h[7] | h[8] | h[9]) & 0x80)) {
    return 0;
  }
  size_t body = (size_t{h[6]} << 21) | (size_t{h[7]} << 14) | (size_t{h[8]} << 7) | h[9];
  return 10 + body + ((h[5] & 0x10) ? 10 : 0);
}

void Mismatch(std::string& lines, const char* what, uint64_t stated, uint64_t actual) {
  if (stated == actual) return;
  lines +=
      std::string(what) + " " + std::to_string(stated) + ", not " + std::to_string(actual) + "\n";
}

std::optional<WalkedHeader> ReadVbriHeader(const unsigned char* frame, size_t length) {
  if (length < 36 + 26 || std::memcmp(frame + 36, "VBRI", 4) != 0) return std::nullopt;
  WalkedHeader h;
  h.marker = "VBRI";
  h.markerField = 36;
  h.bytesField = 36 + 10;
  h.framesField = 36 + 14;
  return h;
}

}  // namespace

int Layer3SampleRate(const unsigned char* p) {
  static const int kRates[3] = {44100, 48000, 32000};
  const int version = (p[1] >> 3) & 3;
  return kRates[(p[2] >> 2) & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
}

int Layer3SamplesPerFrame(const unsigned char* p) { return ((p[1] >> 3) & 3) == 3 ? 1152 : 576; }

size_t Layer3Bytes(const unsigned char* p) {
  static const int kKbps[2][15] = {
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
  const int version = (p[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int rateIndex = (p[2] >> 2) & 3;
  const int kbpsIndex = p[2] >> 4;
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0 || version == 1 || ((p[1] >> 1) & 3) != 1 ||
      kbpsIndex == 0 || kbpsIndex == 15 || rateIndex == 3 || (p[3] & 3) == 2) {
    return 0;
  }
  const bool mpeg1 = version == 3;
  return static_cast<size_t>(
      (mpeg1 ? 144000 : 72000) * kKbps[mpeg1][kbpsIndex] / Layer3SampleRate(p) + ((p[2] >> 1) & 1));
}

std::optional<WalkedHeader> ReadHeaderFrame(const unsigned char* frame, size_t length) {
  WalkedHeader h;
  size_t at = 4 + SideInfoBytes(frame);
  if (at + 8 <= length &&
      (std::memcmp(frame + at, "Xing", 4) == 0 || std::memcmp(frame + at, "Info", 4) == 0)) {
    h.marker.assign(reinterpret_cast<const char*>(frame + at), 4);
    h.markerField = at;
    const uint32_t flags = BigEndian(frame + at + 4, 4);
    at += 8;
    // The fields the flags announce must fit in the frame; a header whose fields do not is
    // none, and a VBRI header may yet be there.
    if (at + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) +
            (flags & 8 ? 4 : 0) >
        length) {
      return ReadVbriHeader(frame, length);
    }
    if (flags & 1) h.framesField = at, at += 4;
    if (flags & 2) h.bytesField = at, at += 4;
    if (flags & 4) h.tocField = at, h.toc.assign(frame + at, frame + at + 100), at += 100;
    if (flags & 8) at += 4;
    if (at + 36 <= length && frame[at] != 0) {
      h.lame = true;
      h.lameField = at;
      h.encoder.assign(reinterpret_cast<const char*>(frame + at), 9);
      h.delay = static_cast<int>(BigEndian(frame + at + 21, 3) >> 12);
      h.padding = static_cast<int>(BigEndian(frame + at + 21, 3) & 0xFFF);
      h.musicLengthField = at + 28;
      h.musicCrcField = at + 32;
      h.tagCrcField = at + 34;
      h.tagCrcHolds = BigEndian(frame + h.tagCrcField, 2) == BitByBitCrc16(frame, h.tagCrcField);
    }
    return h;
  }
  return ReadVbriHeader(frame, length);
}

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
  while (walked.tagsEnd + 10 <= size) {
    const size_t tag = Id3v2TagBytes(&file[walked.tagsEnd]);
    if (tag == 0) break;
    walked.tagsEnd += tag;
  }
  auto frameAt = [&](size_t at) { return at + 4 <= size ? Layer3Bytes(&file[at]) : 0; };
  auto confirmed = [&](size_t at) {
    size_t length = frameAt(at);
    return length > 0 && at + length <= size && (at + length == size || frameAt(at + length) > 0);
  };
  bool first = true;
  bool inStep = false;  // at the end of a frame: a header there needs no confirming
  size_t at = walked.tagsEnd;
  for (; at + 4 <= size;) {
    size_t length = frameAt(at);
    if (length == 0 || at + length > size || (!inStep && !confirmed(at))) {
      if (!first) ++walked.skipped;
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
    }
    if (!walked.header || at != walked.firstFrame) {
      walked.frames.push_back(at);
      walked.headers.push_back(BigEndian(&file[at], 4));
    }
    at += length;
    walked.framesEnd = at;
  }
  if (!first && at < size) walked.skipped += size - at;
  return walked;
}

std::string HeaderMismatches(const WalkedFile& walked, const std::vector<unsigned char>& file) {
  if (!walked.header) return "the file has no header frame\n";
  const WalkedHeader& h = *walked.header;
  const unsigned char* frame = &file[walked.firstFrame];
  const size_t bytes = file.size() - walked.firstFrame;
  const size_t frames = walked.frames.size();
  std::string lines;
  if (h.framesField) Mismatch(lines, "frame count", BigEndian(frame + h.framesField, 4), frames);
  if (h.bytesField) Mismatch(lines, "byte count", BigEndian(frame + h.bytesField, 4), bytes);
  for (size_t i = 0; i < h.toc.size() && frames > 0; ++i) {
    size_t offset = walked.frames[i * frames / 100] - walked.firstFrame;
    Mismatch(lines, ("TOC entry " + std::to_string(i)).c_str(), h.toc[i],
             std::min<size_t>(255, offset * 256 / bytes));
  }
  if (!h.lame) return lines;
  const unsigned char* music = frame + walked.firstFrameBytes;
  Mismatch(lines, "LAME music length", BigEndian(frame + h.musicLengthField, 4), bytes);
  Mismatch(lines, "LAME music CRC", BigEndian(frame + h.musicCrcField, 2),
           BitByBitCrc16(music, file.size() - walked.firstFrame - walked.firstFrameBytes));
  Mismatch(lines, "LAME tag CRC", BigEndian(frame + h.tagCrcField, 2),
           BitByBitCrc16(frame, h.tagCrcField));
  return lines;
}

}  // namespace partwell::test
