// An MP3 file read with the tests' own code, the way a decoder reads it: the ID3v2 tags it
// begins with, its first frame and the Xing, Info or VBRI header that frame may hold, and the
// audio frames after it. Tests check the program's output against this reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace partwell::test {

struct WalkedHeader {
  std::string marker;  // "Xing", "Info" or "VBRI"
  size_t framesField = 0;
  size_t bytesField = 0;
  std::vector<uint8_t> toc;  // empty when the header has none
  bool lame = false;         // a LAME extension follows, with the fields below
  std::string encoder;
  int delay = 0;
  int padding = 0;
  size_t musicLengthField = 0;
  size_t musicCrcField = 0;
  size_t tagCrcField = 0;
};

struct WalkedFile {
  size_t tagsEnd = 0;
  size_t firstFrame = 0;
  size_t firstFrameBytes = 0;
  std::optional<WalkedHeader> header;  // held by the first frame, which then is no audio
  std::vector<size_t> frames;          // where each audio frame begins
  std::vector<uint32_t> headers;       // and its header word
};

// Walks `file` (which has no ID3v1 trailer): each frame begins where the one before it ends,
// or, when no frame header is there, at the next header that is followed by another.
WalkedFile WalkMp3(const std::vector<unsigned char>& file);

uint32_t BigEndian(const unsigned char* p, int bytes);
uint16_t BitByBitCrc16(const unsigned char* data, size_t length, uint16_t crc = 0);

// Checks that the walked file's header states its numbers: frames, bytes from the header
// frame to the end, the TOC, the LAME music length, music CRC and tag CRC.
void ExpectHeaderSpeaksForFile(const WalkedFile& walked, const std::vector<unsigned char>& file);

}  // namespace partwell::test
