#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>

#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "split/split_engine.h"
#include "test_hosts.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;
using test::QuietHost;

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

// InfoFrame(1000, 417000) stating delay 576 and padding 1404, its tag CRC made again.
Bytes DelayedInfoFrame() {
  Bytes frame = InfoFrame(1000, 417000);
  frame[156 + 21] = 0x24;
  frame[156 + 22] = 0x05;
  frame[156 + 23] = 0x7C;
  uint16_t crc = Crc16(frame.data(), 156 + 34);
  frame[156 + 34] = static_cast<unsigned char>(crc >> 8);
  frame[156 + 35] = static_cast<unsigned char>(crc);
  return frame;
}

// A Xing header whose LAME CRC fails: a TOC byte changed after the CRC was made.
Bytes XingFrameWithBadCrc() {
  Bytes xing = InfoFrame(1, 1);
  std::memcpy(&xing[36], "Xing", 4);
  xing[100] ^= 1;
  return xing;
}

TEST(InfoHeader, ReadsEachKindOfHeader) {
  const unsigned char check[] = "123456789";
  EXPECT_EQ(Crc16(check, 9), 0xBB3D);
  EXPECT_EQ(Crc16(check + 4, 5, Crc16(check, 4)), 0xBB3D);

  // MPEG-2 mono: 9 bytes of side information, a frame count alone, a foreign encoder.
  Bytes mono = test::FrameStream(0xFFF380C4, 208, 1, 0);
  std::memcpy(&mono[13], "Info\0\0\0\x01", 8);
  std::memcpy(&mono[25], "GOGO1", 5);
  // VBRI at byte 36, whatever the side information.
  Bytes vbri = test::FrameStream(0xFFFB9064, 417, 1, 0);
  std::memcpy(&vbri[36], "VBRI", 4);
  Bytes counts = test::Concat({test::HeaderBytes(54321), test::HeaderBytes(321)});
  std::copy(counts.begin(), counts.end(), vbri.begin() + 46);

  struct Lame {
    size_t offset;
    int delay;
    int padding;
    bool tagCrcHolds;
    bool trusted;
  };
  struct Case {
    const char* name;
    Bytes frame;
    size_t length;                      // of the frame that is read
    std::optional<VbrHeaderKind> kind;  // nothing: no header is found
    std::optional<size_t> framesField, bytesField, tocField;
    std::optional<uint32_t> frames, bytes;
    std::optional<Lame> lame;
  };
  const Bytes info = DelayedInfoFrame();
  const Bytes xing = XingFrameWithBadCrc();
  const Bytes plain = test::FrameStream(0xFFFB9064, 417, 1, 0);
  const Case cases[] = {
      {"Info with a LAME extension", info, info.size(), VbrHeaderKind::kInfo, 44, 48, 52, 1000,
       417000, Lame{156, 576, 1404, true, true}},
      {"Xing whose LAME CRC fails", xing, xing.size(), VbrHeaderKind::kXing, 44, 48, 52, 1, 1,
       Lame{156, 0, 0, false, true}},
      {"MPEG-2 mono, frame count alone",
       mono,
       mono.size(),
       VbrHeaderKind::kInfo,
       21,
       {},
       {},
       0,
       {},
       Lame{25, 0, 0, false, false}},
      {"VBRI", vbri, vbri.size(), VbrHeaderKind::kVbri, 50, 46, {}, 321, 54321, {}},
      {"too short for its fields", info, 60, {}, {}, {}, {}, {}, {}, {}},
      {"no header", plain, plain.size(), {}, {}, {}, {}, {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<VbrHeader> header = ReadVbrHeader(c.frame.data(), c.length);
    ASSERT_EQ(header.has_value(), c.kind.has_value());
    if (!header) continue;
    EXPECT_EQ(header->kind, *c.kind);
    EXPECT_EQ(header->framesField, c.framesField);
    EXPECT_EQ(header->bytesField, c.bytesField);
    EXPECT_EQ(header->tocField, c.tocField);
    EXPECT_EQ(header->frames, c.frames);
    EXPECT_EQ(header->bytes, c.bytes);
    ASSERT_EQ(header->lame.has_value(), c.lame.has_value());
    if (!c.lame) continue;
    EXPECT_EQ(header->lame->offset, c.lame->offset);
    EXPECT_EQ(header->lame->delay, c.lame->delay);
    EXPECT_EQ(header->lame->padding, c.lame->padding);
    EXPECT_EQ(header->lame->tagCrcHolds, c.lame->tagCrcHolds);
    EXPECT_EQ(header->lame->trusted, c.lame->trusted);
  }
  EXPECT_EQ(XingTocEntry(417, 417000), 0);
  EXPECT_EQ(XingTocEntry(416999, 417000), 255);
  EXPECT_EQ(XingTocFrame(99, 1000), 990u);
}

TEST(InfoHeader, UpdatesOnlyTheFieldsOfAnExtensionWhoseCrcHolds) {
  std::array<uint8_t, kXingTocBytes> toc{};
  toc[1] = 7;
  VbrHeaderUpdate update;
  update.audioFrames = 9;
  update.bytes = 4170;
  update.toc = &toc;
  update.padding = 4095;
  update.musicCrc = 0xABCD;

  Bytes frame = DelayedInfoFrame();
  const Bytes before = frame;
  UpdateVbrHeader(frame.data(), ReadVbrHeader(frame.data(), frame.size()).value(), update);
  EXPECT_EQ(Big32(frame, 44), 9u);
  EXPECT_EQ(Big32(frame, 48), 4170u);
  EXPECT_EQ(frame[53], 7);
  EXPECT_EQ(Big32(frame, 156 + 28), 4170u);
  std::optional<VbrHeader> reread = ReadVbrHeader(frame.data(), frame.size());
  ASSERT_TRUE(reread && reread->lame);
  EXPECT_EQ(reread->lame->delay, 576);
  EXPECT_EQ(reread->lame->padding, 4095);
  EXPECT_EQ(reread->lame->musicCrc, 0xABCD);
  EXPECT_TRUE(reread->lame->tagCrcHolds);
  size_t changed = 0;
  for (size_t i = 0; i < frame.size(); ++i) changed += frame[i] != before[i];
  EXPECT_LE(changed, 4u + 4 + 1 + 2 + 4 + 2 + 2);

  // One whose LAME CRC fails keeps its extension as it was.
  Bytes xing = XingFrameWithBadCrc();
  const Bytes xingBefore = xing;
  UpdateVbrHeader(xing.data(), ReadVbrHeader(xing.data(), xing.size()).value(), update);
  EXPECT_TRUE(std::equal(xing.begin() + 156, xing.end(), xingBefore.begin() + 156));
}

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
  ASSERT_EQ(RunSplit(job, host).outcome, JobOutcome::kCompleted);
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
    std::copy(track1.begin() + at, track1.begin() + at + (at == 156 + 34 ? 2 : 4),
              expected.begin() + at);
  }
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), track1.begin()));
  EXPECT_TRUE(std::equal(track2.begin(), track2.end() - 128, source.begin() + 39 * 417));
}

}  // namespace
}  // namespace partwell
