#include "mpeg/xing_frame.h"

#include <cstring>

#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"

namespace partwell {
namespace {

// Of the stream's header: the sync, version, layer, sampling rate, private bit, channel mode,
// copyright, original and emphasis. Bit rate, padding and mode extension are the frame's own;
// the protection bit is set, as the frame has no CRC.
constexpr uint32_t kKeptHeaderBits = 0xFFFE0DCFu;
constexpr uint32_t kNoCrcBit = 0x00010000u;
// "Xing", flags, frames, bytes, TOC.
constexpr size_t kXingFieldBytes = 4 + 4 + 4 + 4 + kXingTocBytes;

}  // namespace

std::vector<unsigned char> MakeXingFrame(uint32_t streamHeader) {
  const uint32_t base = (streamHeader & kKeptHeaderBits) | kNoCrcBit;
  const size_t marker = 4 + static_cast<size_t>(Layer3SideInfoBytes(base));
  uint32_t word = base;
  for (uint32_t index = 1; index <= 14; ++index) {
    word = base | (index << 12);
    if (static_cast<size_t>(Layer3FrameLength(word)) >= marker + kXingFieldBytes) break;
  }
  std::vector<unsigned char> frame(static_cast<size_t>(Layer3FrameLength(word)), 0);
  WriteBigEndian32(frame.data(), word);
  std::memcpy(frame.data() + marker, "Xing", 4);
  WriteBigEndian32(frame.data() + marker + 4, kXingFramesFlag | kXingBytesFlag | kXingTocFlag);
  return frame;
}

}  // namespace partwell
