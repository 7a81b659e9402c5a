#include "mpeg/side_info.h"

#include <algorithm>

#include "mpeg/frame_header.h"

namespace partwell {
namespace {

constexpr unsigned char kFill = 0x55;

}  // namespace

int Layer3MainDataBytes(uint32_t header) {
  return std::max(0, Layer3FrameLength(header) - Layer3MainDataOffset(header));
}

int MainDataBegin(const unsigned char* frame) {
  uint32_t header = ReadBigEndian32(frame);
  const unsigned char* side = frame + (HeaderHasCrc(header) ? 6 : 4);
  if (HeaderVersion(header) == MpegVersion::kMpeg1) return (side[0] << 1) | (side[1] >> 7);
  return side[0];
}

namespace {

int SideBits(const unsigned char* side, int at, int count) {
  int value = 0;
  for (int bit = at; bit < at + count; ++bit) {
    value = (value << 1) | ((side[bit / 8] >> (7 - bit % 8)) & 1);
  }
  return value;
}

// The side information of a frame: where each granule's and channel's block begins.
struct SideLayout {
  const unsigned char* side;
  bool mpeg1;
  int channels;
  int lead;       // main_data_begin, the private bits and (MPEG-1) scfsi
  int blockBits;  // one block per granule and channel, part2_3_length first
  explicit SideLayout(const unsigned char* frame) {
    const uint32_t header = ReadBigEndian32(frame);
    side = frame + (HeaderHasCrc(header) ? 6 : 4);
    mpeg1 = HeaderVersion(header) == MpegVersion::kMpeg1;
    channels = ChannelCount(header);
    lead = mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * channels : 8 + channels;
    blockBits = mpeg1 ? 59 : 63;
  }
  int blocks() const { return (mpeg1 ? 2 : 1) * channels; }
  int Block(int block) const { return lead + block * blockBits; }
};

}  // namespace

int MainDataLength(const unsigned char* frame) {
  const SideLayout layout(frame);
  int bits = 0;
  for (int block = 0; block < layout.blocks(); ++block) {
    bits += SideBits(layout.side, layout.Block(block), 12);
  }
  return (bits + 7) / 8;
}

int Layer3BlockType(const unsigned char* frame, int granule, int channel) {
  const SideLayout layout(frame);
  // part2_3_length, big_values, global_gain and scalefac_compress come before
  // window_switching_flag, then block_type.
  const int flag =
      layout.Block(granule * layout.channels + channel) + 12 + 9 + 8 + (layout.mpeg1 ? 4 : 9);
  return SideBits(layout.side, flag, 1) ? SideBits(layout.side, flag + 1, 2) : 0;
}

uint16_t FrameCrc(const unsigned char* frame) {
  uint32_t header = ReadBigEndian32(frame);
  uint16_t crc = 0xFFFF;
  auto add = [&crc](unsigned char byte) {
    for (int bit = 7; bit >= 0; --bit) {
      bool top = ((crc >> 15) ^ (byte >> bit)) & 1;
      crc = static_cast<uint16_t>(crc << 1);
      if (top) crc ^= 0x8005;
    }
  };
  add(frame[2]);
  add(frame[3]);
  const unsigned char* side = frame + 6;
  for (int i = 0; i < Layer3SideInfoBytes(header); ++i) add(side[i]);
  return crc;
}

uint32_t MadeUpHeader(uint32_t header, int index) {
  return (header & ~(kBitRateBits | kPaddingBit | kModeExtensionBits)) |
         (static_cast<uint32_t>(index) << 12);
}

uint32_t ReframedHeader(uint32_t header, int index) {
  return (header & ~(kBitRateBits | kPaddingBit)) | (static_cast<uint32_t>(index) << 12);
}

void WriteFrameHeader(unsigned char* frame, uint32_t header) {
  WriteBigEndian32(frame, header);
  if (HeaderHasCrc(header)) WriteBigEndian16(&frame[4], FrameCrc(frame));
}

int SmallestIndexHolding(uint32_t header, size_t bytes) {
  for (int index = 1; index <= 14; ++index) {
    if (static_cast<size_t>(Layer3MainDataBytes(MadeUpHeader(header, index))) >= bytes) {
      return index;
    }
  }
  return 0;
}

std::vector<unsigned char> MakeReservoirFrame(uint32_t next, int index,
                                              const unsigned char* borrowed, size_t count) {
  uint32_t header = MadeUpHeader(next, index);
  std::vector<unsigned char> frame(static_cast<size_t>(Layer3FrameLength(header)), 0);
  size_t areaStart = static_cast<size_t>(Layer3MainDataOffset(header));
  std::fill(frame.begin() + static_cast<std::ptrdiff_t>(areaStart), frame.end(), kFill);
  std::copy(borrowed, borrowed + count, frame.end() - static_cast<std::ptrdiff_t>(count));
  WriteFrameHeader(frame.data(), header);
  return frame;
}

std::vector<unsigned char> MakeSilentFrame(uint32_t before) {
  return MakeReservoirFrame(before, HeaderBitRateIndex(before), nullptr, 0);
}

}  // namespace partwell
