// An MP3 file read with the tests' own code, the way a decoder reads it: the ID3v2 tags it
// begins with, its first frame and the Xing, Info or VBRI header that frame may hold, and the
// audio frames after it. Tests and fuzz targets check the program's output against this
// reading; it reads nothing outside the file, whatever its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace partwell::test {

struct WalkedHeader {
  std::string marker;  // "Xing", "Info" or "VBRI"
  size_t markerField = 0;
  size_t framesField = 0;  // 0: the header has no such field
  size_t bytesField = 0;
  size_t tocField = 0;
  std::vector<uint8_t> toc;  // empty when the header has none
  bool lame = false;         // a LAME extension follows, with the fields below
  size_t lameField = 0;
  bool tagCrcHolds = false;
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
  size_t skipped = 0;                  // bytes after the first frame that are in no frame
  size_t framesEnd = 0;                // where the last frame ends
};

// Walks `file` (which has no ID3v1 trailer): each frame begins where the one before it ends,
// or, when no frame header is there, at the next header that is followed by another.
WalkedFile WalkMp3(const std::vector<unsigned char>& file);
// The header in a frame of `length` bytes (a Layer III frame header first), where decoders
// look for one: Xing or Info after the side information, else VBRI at byte 36.
std::optional<WalkedHeader> ReadHeaderFrame(const unsigned char* frame, size_t length);
// The length of the Layer III frame whose header begins at `p`, or 0 when none does.
size_t Layer3Bytes(const unsigned char* p);
// The sampling rate and the samples per frame of a header that Layer3Bytes takes.
int Layer3SampleRate(const unsigned char* p);
int Layer3SamplesPerFrame(const unsigned char* p);

uint32_t BigEndian(const unsigned char* p, int bytes);
uint16_t BitByBitCrc16(const unsigned char* data, size_t length, uint16_t crc = 0);

// Where the walked file's header does not state its numbers (frames, bytes from the header
// frame to the end, the TOC, the LAME music length, music CRC and tag CRC), one line each;
// empty when it does.
std::string HeaderMismatches(const WalkedFile& walked, const std::vector<unsigned char>& file);

}  // namespace partwell::test
