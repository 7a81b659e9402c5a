// The "Info" header that most encoders put in the first frame of a constant-bit-rate
// file (the twin of the variable-bit-rate "Xing" header), often followed by a LAME
// extension. It states the stream's frame and byte counts, so a track cut from the start
// of a source must carry its own counts or players show the whole source's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace partwell {

struct InfoHeaderLayout {
  std::optional<size_t> framesField;  // offsets in the frame of the big-endian fields
  std::optional<size_t> bytesField;
  std::optional<size_t> lameTag;      // start of a LAME extension whose CRC checks out
};

// The bytes of a frame that must be read to find and rewrite its Info header.
constexpr size_t kInfoHeaderSpan = 4 + 32 + 8 + 4 + 4 + 100 + 4 + 36;

// Finds an "Info" header in `frame` (its first `length` bytes, beginning with the frame
// header), where a decoder looks for it: right after the side information.
std::optional<InfoHeaderLayout> FindInfoHeader(const unsigned char* frame, size_t length);

// Sets the header's counts for a stream of `frames` frames (the Info frame included) and
// `bytes` bytes from the Info frame's start to the end of the audio, and recomputes the
// LAME extension's CRC.
void RewriteInfoHeader(unsigned char* frame, const InfoHeaderLayout& layout, uint32_t frames,
                       uint32_t bytes);

// CRC-16 (polynomial 0x8005, reflected, initial value 0), as the LAME extension uses.
uint16_t Crc16(const unsigned char* data, size_t length);

}  // namespace partwell
