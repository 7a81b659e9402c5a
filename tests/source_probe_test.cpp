#include <gtest/gtest.h>

#include <cstring>

#include "mpeg/source_probe.h"
#include "split/source_properties.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;

constexpr uint32_t kMpeg1_128 = 0xFFFB9064;

// `size` bytes of filler that holds no frame sync, with `parts` written at their positions.
Bytes Layout(size_t size, std::initializer_list<std::pair<size_t, Bytes>> parts) {
  Bytes bytes(size, 0x20);
  for (const auto& [at, part] : parts) {
    if (bytes.size() < at + part.size()) bytes.resize(at + part.size(), 0x20);
    std::copy(part.begin(), part.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  }
  return bytes;
}

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

Bytes Id3v2Tag(size_t bodyBytes, unsigned char flags = 0, unsigned char fill = 0) {
  Bytes tag = {'I',
               'D',
               '3',
               4,
               0,
               flags,
               static_cast<unsigned char>((bodyBytes >> 21) & 0x7F),
               static_cast<unsigned char>((bodyBytes >> 14) & 0x7F),
               static_cast<unsigned char>((bodyBytes >> 7) & 0x7F),
               static_cast<unsigned char>(bodyBytes & 0x7F)};
  tag.resize(10 + bodyBytes + ((flags & 0x10) ? 10 : 0), fill);
  return tag;
}

ProbeResult ProbeBytes(const Bytes& bytes) {
  test::TempDir dir;
  test::WriteBytes(dir.File("source.mp3"), bytes);
  return ProbeSourceFile(dir.File("source.mp3"));
}

TEST(SourceProbe, OutcomesAndPositions) {
  const Bytes header = test::HeaderBytes(kMpeg1_128);
  // A UTF-16 text frame in an ID3v2 tag starts with the byte-order mark FF FE, which
  // passes the header test as Layer I.
  Bytes utf16Tag = Id3v2Tag(40);
  utf16Tag[20] = 0xFF;
  utf16Tag[21] = 0xFE;
  Bytes shortTag = Id3v2Tag(100);
  shortTag.resize(14);
  struct Case {
    const char* name;
    Bytes file;
    ProbeOutcome outcome;
    uint64_t firstFrame;
    int kbps;
  };
  const Case cases[] = {
      {"header at 0", Layout(0, {{0, header}}), ProbeOutcome::kAccepted, 0, 128},
      {"header at 999, first window", Layout(2000, {{999, header}}), ProbeOutcome::kAccepted, 999,
       128},
      {"header at 1000, second window", Layout(2000, {{1000, header}}), ProbeOutcome::kAccepted,
       1000, 128},
      {"header in the last short window", Layout(1500, {{1496, header}}), ProbeOutcome::kAccepted,
       1496, 128},
      {"MPEG-2 at index 9", Layout(10, {{3, test::HeaderBytes(0xFFF39064)}}),
       ProbeOutcome::kAccepted, 3, 80},
      {"MPEG-2.5 at index 9", Layout(10, {{3, test::HeaderBytes(0xFFE39064)}}),
       ProbeOutcome::kAccepted, 3, 80},
      {"free format", Layout(10, {{0, test::HeaderBytes(0xFFFB0064)}}), ProbeOutcome::kAccepted, 0,
       0},
      {"invalid words are passed over",
       Layout(
           100,
           {{0, test::HeaderBytes(0xFFFBF064)}, {10, test::HeaderBytes(0xFFFB9066)}, {50, header}}),
       ProbeOutcome::kAccepted, 50, 128},
      {"Xing after the header, same window", Layout(2000, {{500, header}, {536, Text("Xing")}}),
       ProbeOutcome::kVariableBitRate, 0, 0},
      {"Xing at 999", Layout(2000, {{999, Text("Xing")}, {1500, header}}),
       ProbeOutcome::kVariableBitRate, 0, 0},
      {"Xing in a window never read", Layout(2000, {{990, header}, {1026, Text("Xing")}}),
       ProbeOutcome::kAccepted, 990, 128},
      {"VBRI", Layout(2000, {{0, header}, {36, Text("VBRI")}}), ProbeOutcome::kVariableBitRate, 0,
       0},
      {"Layer II first", Layout(100, {{7, test::HeaderBytes(0xFFFD9064)}, {50, header}}),
       ProbeOutcome::kNotLayer3, 0, 0},
      {"empty file", Bytes(), ProbeOutcome::kInvalid, 0, 0},
      {"no header at all", Layout(5000, {}), ProbeOutcome::kInvalid, 0, 0},
      {"ID3v2 tag holding FF FE", test::Concat({utf16Tag, header}), ProbeOutcome::kAccepted, 50,
       128},
      {"two ID3v2 tags and a footer",
       test::Concat({Id3v2Tag(20, 0, 0xFF), Id3v2Tag(5, 0x10, 0xFF), header}),
       ProbeOutcome::kAccepted, 30 + 25, 128},
      {"a header inside a tag that runs past the end", test::Concat({shortTag, header}),
       ProbeOutcome::kInvalid, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeResult result = ProbeBytes(c.file);
    EXPECT_EQ(result.outcome, c.outcome);
    if (c.outcome == ProbeOutcome::kAccepted) {
      EXPECT_EQ(result.firstFrame, c.firstFrame);
      EXPECT_EQ(result.bitRate, c.kbps);
    }
  }
}

TEST(SourceProbe, AcceptedProbeLeavesTheFileAtItsFirstFrame) {
  test::TempDir dir;
  test::WriteBytes(dir.File("a.mp3"), Layout(3000, {{1234, test::HeaderBytes(kMpeg1_128)}}));
  File file = File::OpenForReading(dir.File("a.mp3"));
  ASSERT_EQ(ProbeSource(file).outcome, ProbeOutcome::kAccepted);
  unsigned char word[4];
  size_t got = 0;
  ASSERT_TRUE(file.Read(word, 4, got));
  EXPECT_EQ(test::Bytes(word, word + 4), test::HeaderBytes(kMpeg1_128));
}

TEST(SourceProbe, StoringAResultReplacesThePreviousSource) {
  PropertyListPtr list = MakePropertyList();
  ProbeResult first{ProbeOutcome::kAccepted, 128, 9, 417};
  ProbeResult second{ProbeOutcome::kAccepted, 80, 9, 0};
  ProbeResult variable{ProbeOutcome::kVariableBitRate, 0, 0, 0};
  SplitJob job;
  ASSERT_EQ(StoreProbeResult(list.get(), first), 1);
  ASSERT_EQ(StoreProbeResult(list.get(), variable), 1);
  EXPECT_TRUE(StoredSourceIsVariableBitRate(list.get()));
  ASSERT_EQ(StoreProbeResult(list.get(), second), 1);
  EXPECT_FALSE(StoredSourceIsVariableBitRate(list.get()));
  ReadStoredProbe(list.get(), job);
  EXPECT_EQ(job.bitRate, 80);
  EXPECT_EQ(job.bitRateIndex, 9);
  EXPECT_EQ(job.firstFrame, 0u);
  EXPECT_EQ(ProbeSourceFile("/no/such/file.mp3").outcome, ProbeOutcome::kCannotOpen);
  EXPECT_EQ(ProbeRefusalText(ProbeOutcome::kCannotOpen), nullptr);
  EXPECT_FALSE(ProbeRefusalIsWarning(ProbeOutcome::kInvalid));
}

}  // namespace
}  // namespace partwell
