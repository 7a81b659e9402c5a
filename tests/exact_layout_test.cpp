// The arithmetic of exact cuts against the facts it was built from: the CRC against its
// bit-by-bit definition, the made-up frames' bit rates against the sizes the frame tables
// give, and every track layout's delay and padding against the bounds tag readers accept.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mpeg/crc16.h"
#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "split/exact_layout.h"

namespace partwell {
namespace {

uint16_t BitByBitCrc16(const std::vector<unsigned char>& data, size_t length, uint16_t crc) {
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

TEST(ExactLayout, Crc16MatchesItsDefinitionAtEveryLength) {
  std::mt19937 random(5);
  std::vector<unsigned char> data(5000);
  for (unsigned char& b : data) b = static_cast<unsigned char>(random());
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 200; ++n) lengths.push_back(n);
  for (size_t n : {255, 256, 257, 1023, 4096, 4999, 5000}) lengths.push_back(n);
  for (size_t length : lengths) {
    for (uint16_t start : {0, 1, 0xFFFF, 0x8005}) {
      ASSERT_EQ(Crc16(data.data(), length, start), BitByBitCrc16(data, length, start))
          << length << " bytes from " << start;
    }
  }
}

// Headers of each version and rate, stereo or mono: MPEG-1 at 44.1, 48, 32 kHz; MPEG-2 at
// 22.05, 24, 16 kHz; MPEG-2.5 at 11.025, 12, 8 kHz.
uint32_t Header(int version, int rateIndex, bool mono) {
  return 0xFFE20000u | (static_cast<uint32_t>(version) << 19) | (1u << 16) |
         (static_cast<uint32_t>(rateIndex) << 10) | (mono ? 0xC0u : 0x40u);
}

TEST(ExactLayout, MadeUpFramesTakeTheSmallestBitRateThatHoldsThem) {
  struct Case {
    int version, rateIndex;
    bool mono;
    int largestReservoirKbps;  // holds 511 (MPEG-1) or 255 borrowed bytes and a fill byte
    int infoKbps;              // holds a Xing header with a LAME extension
  };
  const Case cases[] = {
      {3, 0, false, 192, 64}, {3, 1, false, 192, 64}, {3, 2, false, 128, 48}, {3, 0, true, 192, 56},
      {3, 2, true, 128, 40},  {2, 0, false, 96, 56},  {2, 1, false, 96, 64},  {2, 2, false, 64, 40},
      {2, 2, true, 64, 40},   {0, 0, false, 48, 32},  {0, 1, false, 48, 32},  {0, 2, false, 32, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << c.version << ", rate " << c.rateIndex
                                    << (c.mono ? ", mono" : ""));
    const uint32_t header = Header(c.version, c.rateIndex, c.mono);
    const int largest = HeaderVersion(header) == MpegVersion::kMpeg1 ? 511 : 255;
    uint32_t reservoir = header | static_cast<uint32_t>(ReservoirIndex(header, largest, {}) << 12);
    EXPECT_EQ(Layer3BitRate(reservoir), c.largestReservoirKbps);
    uint32_t info = InfoHeader(header, std::nullopt, std::nullopt);
    EXPECT_EQ(Layer3BitRate(info), c.infoKbps);
    EXPECT_GE(Layer3FrameLength(info),
              4 + Layer3SideInfoBytes(info) + static_cast<int>(kInfoTagBytes));
    EXPECT_TRUE(HeaderHasCrc(header) || !HeaderHasCrc(info));
  }
  // A constant-bit-rate source's own rate when its frame holds the bytes, else a larger one.
  const uint32_t cbr = Header(3, 0, false);
  EXPECT_EQ(ReservoirIndex(cbr, 100, 9), 9);
  EXPECT_EQ(ReservoirIndex(cbr, 100, std::nullopt), 3);
  EXPECT_EQ(Layer3BitRate(cbr | static_cast<uint32_t>(ReservoirIndex(cbr, 450, 9) << 12)), 160);
  // The Info frame shares the audio frames' bit rate, else takes the source's header's.
  EXPECT_EQ(Layer3BitRate(InfoHeader(cbr | 0x9000, 9, 5)), 128);
  EXPECT_EQ(Layer3BitRate(InfoHeader(cbr | 0x9000, std::nullopt, 9)), 128);
  EXPECT_EQ(Layer3BitRate(InfoHeader(cbr | 0x1000, 1, std::nullopt)), 64) << "32 kbps is too small";
}

TEST(ExactLayout, DelayAndPaddingStayWithinWhatTagReadersAccept) {
  for (bool mpeg1 : {true, false}) {
    CutSource source;
    source.mpeg1 = mpeg1;
    source.samplesPerFrame = mpeg1 ? 1152 : 576;
    for (int64_t delay : {0, 576, 1105, 2000}) {
      source.delay = delay;
      for (int64_t start = 0; start < 12 * source.samplesPerFrame; ++start) {
        TrackLayout layout = LayOutTrack(source, start);
        SCOPED_TRACE(testing::Message() << (mpeg1 ? "MPEG-1" : "MPEG-2") << ", delay " << delay
                                        << ", start " << start);
        ASSERT_LE(layout.delay, kMaxTagDelay);
        ASSERT_GE(layout.delay, 0);
        // The cut lies `delay` samples into the track's decoded frames, after the decoder's 529.
        int64_t before = layout.cutFrame - layout.firstFrame + (layout.reservoir ? 1 : 0);
        ASSERT_EQ(
            layout.delay + kDecoderDelay,
            before * source.samplesPerFrame + RawSample(source, start) % source.samplesPerFrame);
        if (layout.reservoir) {
          // Enough warm-up: one frame for MPEG-1, two for MPEG-2 and 2.5; the frames decoded
          // before the cut frame keep the source's parity where the delay allows.
          ASSERT_GE(layout.cutFrame - layout.firstFrame, mpeg1 ? 1 : 2);
          int64_t n = layout.cutFrame - layout.firstFrame + 1;
          bool canAddOne = RawSample(source, start) % source.samplesPerFrame +
                               (n + 1) * source.samplesPerFrame - kDecoderDelay <=
                           3000;
          ASSERT_TRUE((layout.cutFrame - n) % 2 == 0 || !canAddOne);
        }
        for (int64_t length : {int64_t{1}, int64_t{441}, int64_t{5000}}) {
          int64_t last = LastFrameBefore(source, start + length);
          int64_t frames = (layout.reservoir ? 1 : 0) + last - layout.firstFrame + 1;
          int64_t padding = TrackPadding(source, layout, frames, length);
          ASSERT_GE(padding, kDecoderDelay);
          ASSERT_LT(padding, kDecoderDelay + source.samplesPerFrame);
        }
      }
    }
  }
}

}  // namespace
}  // namespace partwell
