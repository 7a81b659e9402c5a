#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "split/split_engine.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;

uint32_t Big32(const Bytes& b, size_t at) { return ReadBigEndian32(&b[at]); }

// A 417-byte MPEG-1 stereo frame holding an Info header with all four fields and a LAME
// extension whose CRC is right, stating `frames` frames and `bytes` bytes.
Bytes InfoFrame(uint32_t frames, uint32_t bytes) {
  Bytes frame = test::FrameStream(0xFFFB9064, 417, 1, 0);
  size_t at = 4 + 32;
  std::memcpy(&frame[at], "Info\0\0\0\x0F", 8);
  Bytes counts = test::Concat({test::HeaderBytes(frames), test::HeaderBytes(bytes)});
  std::copy(counts.begin(), counts.end(), frame.begin() + at + 8);
  size_t lame = at + 8 + 8 + 100 + 4;
  std::memcpy(&frame[lame], "LAME3.100", 9);
  std::copy(counts.begin() + 4, counts.end(), frame.begin() + lame + 28);  // music length
  uint16_t crc = Crc16(frame.data(), lame + 34);
  frame[lame + 34] = static_cast<unsigned char>(crc >> 8);
  frame[lame + 35] = static_cast<unsigned char>(crc);
  return frame;
}

bool CrcHolds(const Bytes& frame, size_t lame) {
  return Crc16(frame.data(), lame + 34) == ((frame[lame + 34] << 8) | frame[lame + 35]);
}

TEST(InfoHeader, FindsAndRewritesTheCounts) {
  const unsigned char check[] = "123456789";
  EXPECT_EQ(Crc16(check, 9), 0xBB3D);

  Bytes frame = InfoFrame(1000, 417000);
  std::optional<InfoHeaderLayout> layout = FindInfoHeader(frame.data(), frame.size());
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->framesField, 44u);
  EXPECT_EQ(layout->bytesField, 48u);
  EXPECT_EQ(layout->lameTag, 156u);
  Bytes before = frame;
  RewriteInfoHeader(frame.data(), *layout, 10, 4170);
  EXPECT_EQ(Big32(frame, 44), 9u);  // the Info frame itself is not counted
  EXPECT_EQ(Big32(frame, 48), 4170u);
  EXPECT_EQ(Big32(frame, 156 + 28), 4170u);
  EXPECT_TRUE(CrcHolds(frame, 156));
  size_t changed = 0;
  for (size_t i = 0; i < frame.size(); ++i) changed += frame[i] != before[i];
  EXPECT_LE(changed, 4u + 4 + 4 + 2);

  Bytes xing = InfoFrame(1, 1);
  std::memcpy(&xing[36], "Xing", 4);
  EXPECT_FALSE(FindInfoHeader(xing.data(), xing.size()));
  Bytes badCrc = InfoFrame(1, 1);
  badCrc[100] ^= 1;
  std::optional<InfoHeaderLayout> noLame = FindInfoHeader(badCrc.data(), badCrc.size());
  ASSERT_TRUE(noLame);
  EXPECT_FALSE(noLame->lameTag);

  Bytes mono = test::FrameStream(0xFFF380C4, 208, 1, 0);  // MPEG-2 mono: 9 bytes of side info
  std::memcpy(&mono[13], "Info\0\0\0\x01", 8);
  std::optional<InfoHeaderLayout> monoLayout = FindInfoHeader(mono.data(), mono.size());
  ASSERT_TRUE(monoLayout);
  EXPECT_EQ(monoLayout->framesField, 21u);
  EXPECT_FALSE(monoLayout->bytesField);
}

struct QuietHost : JobHost {
  void JobStarted() override {}
  bool HaltRequested() override { return false; }
  void UnitStarted(int) override {}
};

TEST(InfoHeader, TrackOneOfASplitStatesItsOwnLength) {
  test::TempDir dir;
  const Bytes audio = test::FrameStream(0xFFFB9064, 417, 499);
  const Bytes source = test::Concat({InfoFrame(499, 500 * 417), audio, test::Id3v1Trailer()});
  test::WriteBytes(dir.File("s.mp3"), source);
  SplitJob job;
  job.sourcePath = dir.File("s.mp3");
  job.nameTemplate = "t%track%";
  job.bitRate = 128;
  job.bitRateIndex = 9;
  for (int32_t offset : {0, 100}) {
    TrackEntry entry;
    entry.offset = offset;
    job.entries.push_back(entry);
  }
  QuietHost host;
  ASSERT_EQ(RunSplit(job, host).outcome, SplitOutcome::kCompleted);
  Bytes track1 = test::ReadBytes(dir.File("t01.mp3"));
  Bytes track2 = test::ReadBytes(dir.File("t02.mp3"));
  ASSERT_EQ(track1.size(), 39u * 417 + 128);  // 100 blocks of 160 bytes, up to frame 39
  EXPECT_EQ(Big32(track1, 44), 38u);
  EXPECT_EQ(Big32(track1, 48), 39u * 417);
  EXPECT_EQ(Big32(track1, 156 + 28), 39u * 417);
  EXPECT_TRUE(CrcHolds(track1, 156));
  // Every byte but the counts and the CRC is the source's.
  Bytes expected(source.begin(), source.begin() + 39 * 417);
  for (size_t at : {44, 48, 156 + 28, 156 + 34}) {
    std::copy(track1.begin() + at, track1.begin() + at + (at == 156 + 34 ? 2 : 4), expected.begin() + at);
  }
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), track1.begin()));
  EXPECT_TRUE(std::equal(track2.begin(), track2.end() - 128, source.begin() + 39 * 417));
}

}  // namespace
}  // namespace partwell
