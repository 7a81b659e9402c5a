#include <gtest/gtest.h>

#include "mpeg/frame_header.h"
#include "test_support.h"

namespace partwell {
namespace {

TEST(FrameHeader, TestAndBitRateOfEachKindOfWord) {
  struct Case {
    uint32_t word;
    bool passes;
    bool layer3;
    int kbps;
  };
  const Case cases[] = {
      {0xFFFB9064, true, true, 128},    // MPEG-1, index 9
      {0xFFF39064, true, true, 80},     // MPEG-2
      {0xFFE39064, true, true, 80},     // MPEG-2.5
      {0xFFFB0064, true, true, 0},      // free format
      {0xFFFBE064, true, true, 320},    // MPEG-1, index 14
      {0xFFF3E064, true, true, 160},    // MPEG-2, index 14
      {0xFFE31064, true, true, 8},      // MPEG-2.5, index 1
      {0xFFFD9064, true, false, 128},   // Layer II passes the test; the probe refuses it
      {0xFFFBF064, false, true, 0},     // bit rate index 15
      {0xFFFB9C64, false, true, 128},   // sampling rate index 3
      {0xFFEB9064, false, true, 128},   // version 01
      {0xFFF99064, false, false, 128},  // layer 00
      {0xFFFB9066, false, true, 128},   // emphasis 10
      {0xFFDB9064, false, true, 128},   // sync broken
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.word);
    EXPECT_EQ(IsFrameHeader(c.word), c.passes);
    EXPECT_EQ(HeaderIsLayer3(c.word), c.layer3);
    if (c.passes) {
      EXPECT_EQ(Layer3BitRate(c.word), c.kbps);
    }
  }
}

TEST(FrameHeader, FrameLengthsOfRealStreams) {
  EXPECT_EQ(Layer3FrameLength(0xFFFB9064), 417);   // 128 kbps, 44.1 kHz
  EXPECT_EQ(Layer3FrameLength(0xFFFB9264), 418);   // padded
  EXPECT_EQ(Layer3FrameLength(0xFFFBE064), 1044);  // 320 kbps
  EXPECT_EQ(Layer3FrameLength(0xFFF38064), 208);   // MPEG-2 64 kbps, 22.05 kHz
  EXPECT_EQ(Layer3FrameLength(0xFFE31864), 72);    // MPEG-2.5 8 kbps, 8 kHz
  EXPECT_EQ(Layer3FrameLength(0xFFFB0064), 0);     // free format
  EXPECT_EQ(Layer3SamplesPerFrame(0xFFE31864), 576);
}

}  // namespace
}  // namespace partwell
