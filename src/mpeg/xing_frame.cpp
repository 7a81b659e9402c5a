#include "mpeg/xing_frame.h"

#include <cstring>

#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "mpeg/side_info.h"

namespace partwell {
namespace {

// "Xing", flags, frames, bytes, TOC: right after the side information.
constexpr size_t kXingFieldBytes = 4 + 4 + 4 + 4 + kXingTocBytes;

}  // namespace

std::vector<unsigned char> MakeXingFrame(uint32_t streamHeader) {
  const uint32_t plain = streamHeader | kNoCrcBit;
  const uint32_t header = MadeUpHeader(plain, SmallestIndexHolding(plain, kXingFieldBytes));
  std::vector<unsigned char> frame(static_cast<size_t>(Layer3FrameLength(header)), 0);
  unsigned char* fields = frame.data() + Layer3MainDataOffset(header);
  WriteBigEndian32(frame.data(), header);
  std::memcpy(fields, "Xing", 4);
  WriteBigEndian32(fields + 4, kXingFramesFlag | kXingBytesFlag | kXingTocFlag);
  return frame;
}

}  // namespace partwell
