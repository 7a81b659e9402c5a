#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "join/join_engine.h"
#include "join/track_junction.h"
#include "mp3_walk.h"
#include "mpeg/xing_toc.h"
#include "test_hosts.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;
using test::RecordingHost;
using test::Slice;

Bytes Filled(size_t size, unsigned char value) { return Bytes(size, value); }

TEST(JoinEngine, EachSourceGivesItsBytesLessItsTrailer) {
  const Bytes audio = Filled(10240 * 2 + 77, 1);
  struct Case {
    const char* name;
    Bytes source;
    Bytes contributes;
  };
  const Case cases[] = {
      {"with a trailer", test::Concat({audio, test::Id3v1Trailer()}), audio},
      {"without a trailer", audio, audio},
      {"size less 128 is a whole chunk", test::Concat({Filled(10240, 2), test::Id3v1Trailer()}),
       Filled(10240, 2)},
      {"all trailer", test::Id3v1Trailer(), {}},
      {"shorter than a trailer", Filled(100, 3), Filled(100, 3)},
      {"empty", {}, {}},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(dir.File("a.mp3"), c.source);
    test::WriteBytes(dir.File("b.mp3"), test::Concat({Filled(5, 9), test::Id3v1Trailer()}));
    RecordingHost host;
    JobReport result = RunJoin(dir.File("joined.mp3"),
                               {dir.File("a.mp3"), dir.File("b.mp3"), dir.File("a.mp3")}, host);
    ASSERT_EQ(result.outcome, JobOutcome::kCompleted) << result.failureReason;
    EXPECT_EQ(test::ReadBytes(dir.File("joined.mp3")),
              test::Concat({c.contributes, Filled(5, 9), c.contributes}));
    EXPECT_EQ(host.units, (std::vector<int>{1, 2, 3}));
  }
}

TEST(JoinEngine, TheDestinationIsNeverOneOfTheSources) {
  test::TempDir dir;
  const Bytes a = test::Concat({Filled(500, 1), test::Id3v1Trailer()});
  test::WriteBytes(dir.File("a.mp3"), a);
  test::WriteBytes(dir.File("b.mp3"), Filled(300, 2));
  std::filesystem::create_hard_link(dir.File("a.mp3"), dir.File("hard.mp3"));
  std::filesystem::create_symlink(dir.File("a.mp3"), dir.File("soft.mp3"));
  for (const char* destination : {"a.mp3", "hard.mp3", "soft.mp3"}) {
    SCOPED_TRACE(destination);
    RecordingHost host;
    JobReport result = RunJoin(dir.File(destination), {dir.File("b.mp3"), dir.File("a.mp3")}, host);
    EXPECT_EQ(result.outcome, JobOutcome::kDestinationIsSource);
    EXPECT_FALSE(result.jobStarted);
    EXPECT_EQ(test::ReadBytes(dir.File("a.mp3")), a);
  }
}

TEST(JoinEngine, HaltsAndFailures) {
  test::TempDir dir;
  test::WriteBytes(dir.File("a.mp3"), Filled(1000, 1));
  test::WriteBytes(dir.File("b.mp3"), Filled(1000, 2));
  const std::vector<std::string> sources = {dir.File("a.mp3"), dir.File("b.mp3")};
  {
    SCOPED_TRACE("halt before the first source leaves an empty destination");
    RecordingHost host;
    host.haltAtPoll = 0;
    JobReport result = RunJoin(dir.File("out.mp3"), sources, host);
    EXPECT_EQ(result.outcome, JobOutcome::kCancelled);
    EXPECT_TRUE(result.jobStarted);
    EXPECT_TRUE(test::ReadBytes(dir.File("out.mp3")).empty());
  }
  {
    SCOPED_TRACE("halt before the second source");
    RecordingHost host;
    host.haltAtPoll = 1;
    EXPECT_EQ(RunJoin(dir.File("out.mp3"), sources, host).outcome, JobOutcome::kCancelled);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mp3")), Filled(1000, 1));
  }
  {
    SCOPED_TRACE("a source that cannot be opened");
    RecordingHost host;
    JobReport result =
        RunJoin(dir.File("out.mp3"), {dir.File("a.mp3"), dir.File("gone.mp3")}, host);
    EXPECT_EQ(result.outcome, JobOutcome::kFileError);
    EXPECT_EQ(result.failedPath, dir.File("gone.mp3"));
    EXPECT_EQ(test::ReadBytes(dir.File("out.mp3")), Filled(1000, 1));
  }
  {
    SCOPED_TRACE("a destination that cannot be created");
    RecordingHost host;
    JobReport result = RunJoin(dir.File("no/out.mp3"), sources, host);
    EXPECT_EQ(result.outcome, JobOutcome::kFileError);
    EXPECT_FALSE(result.jobStarted);
  }
  {
    SCOPED_TRACE("a write that fails");
    std::filesystem::create_symlink("/dev/full", dir.File("full.mp3"));
    RecordingHost host;
    JobReport result = RunJoin(dir.File("full.mp3"), sources, host);
    EXPECT_EQ(result.outcome, JobOutcome::kFileError);
    EXPECT_EQ(result.failedPath, dir.File("full.mp3"));
  }
}

// MPEG-1 Layer III at 44.1 kHz, stereo, without CRC: 417 bytes at 128 kbps, 522 at 160;
// MPEG-2 at 22.05 kHz, 80 kbps: 261 bytes; MPEG-1 Layer II, 128 kbps: 417 bytes.
constexpr uint32_t k128 = 0xFFFB9064;
constexpr uint32_t kLayer2 = 0xFFFD8064;
constexpr uint32_t k160 = 0xFFFBA064;
constexpr uint32_t kMpeg2 = 0xFFF39064;
constexpr size_t k128Bytes = 417;

Bytes Frames(uint32_t word, size_t count) {
  const size_t bytes = word == k128 ? k128Bytes : word == k160 ? 522 : 261;
  return test::FrameStream(word, bytes, count);
}

// An ID3v2 tag whose body holds frame headers, as cover art may.
Bytes Id3v2Tag(size_t body, bool footer) {
  Bytes tag = {'I',
               'D',
               '3',
               static_cast<unsigned char>(footer ? 4 : 3),
               0,
               static_cast<unsigned char>(footer ? 0x10 : 0),
               static_cast<unsigned char>(body >> 21 & 127),
               static_cast<unsigned char>(body >> 14 & 127),
               static_cast<unsigned char>(body >> 7 & 127),
               static_cast<unsigned char>(body & 127)};
  const Bytes art = {0xFF, 0xFB, 0x90, 0x64, 'c', 'o', 'v', 'e', 'r'};
  for (size_t i = 0; i < body; ++i) tag.push_back(art[i % art.size()]);
  if (footer) {
    tag.insert(tag.end(), {'3', 'D', 'I'});
    tag.insert(tag.end(), tag.begin() + 3, tag.begin() + 10);
  }
  return tag;
}

// A 128 kbps frame holding a header: "Xing" or "Info" with every field and counts that are
// wrong for any join, and a LAME extension when `delay` is not negative; or "VBRI".
Bytes HeaderFrame(const char* marker, int delay = -1, int padding = 0) {
  Bytes frame = test::Concat({test::HeaderBytes(k128), Bytes(k128Bytes - 4, 0)});
  if (std::string(marker) == "VBRI") {
    std::copy(marker, marker + 4, frame.begin() + 36);
    frame[36 + 17] = 99;  // frames
    return frame;
  }
  std::copy(marker, marker + 4, frame.begin() + 36);
  frame[43] = 15;  // flags: frames, bytes, TOC, quality
  frame[47] = 99;
  frame[51] = 99;
  if (delay < 0) return frame;
  const size_t lame = 156;
  std::copy_n("LAME3.100", 9, frame.begin() + lame);
  frame[lame + 21] = static_cast<unsigned char>(delay >> 4);
  frame[lame + 22] = static_cast<unsigned char>((delay & 15) << 4 | padding >> 8);
  frame[lame + 23] = static_cast<unsigned char>(padding);
  uint16_t crc = test::BitByBitCrc16(frame.data(), lame + 34);
  frame[lame + 34] = static_cast<unsigned char>(crc >> 8);
  frame[lame + 35] = static_cast<unsigned char>(crc);
  return frame;
}

// The joined file is the bytes the join keeps of its sources, under one header that states
// the joined stream's numbers, as a walk of the file of our own finds them.
TEST(JoinEngine, JoinedFileIsTheKeptBytesUnderOneHeader) {
  struct Piece {
    Bytes bytes;
    bool kept;
  };
  struct Case {
    const char* name;
    std::vector<std::vector<Piece>> sources;
    const char* marker;  // of the joined file's header; "" for none
    bool ownHeader;      // a Xing frame of the join's own stands before the first audio frame
    int delay;           // the LAME extension's, when it has one
    int padding;
    std::vector<int> differing;  // sources of another kind than the first
  };
  const Bytes frame = Frames(k128, 1);
  const Case cases[] = {
      {"LAME Info headers after ID3v2 tags with false syncs, of two bit rates",
       {{{Id3v2Tag(3000, false), true},
         {HeaderFrame("Info", 576, 1000), true},
         {Frames(k128, 40), true},
         {test::Id3v1Trailer(), false}},
        {{Id3v2Tag(2000, true), false},
         {Id3v2Tag(50, false), false},
         {HeaderFrame("Info", 576, 1234), false},
         {Frames(k160, 30), true},
         {test::Id3v1Trailer(), false}}},
       "Xing",
       false,
       576,
       1234,
       {}},
      {"one bit rate keeps Info; a last source without a LAME tag plays to its end",
       {{{HeaderFrame("Info", 576, 1000), true}, {Frames(k128, 10), true}},
        {{Frames(k128, 12), true}}},
       "Info",
       false,
       576,
       529,
       {}},
      {"a frame cut between two sources counts whole; a later VBRI frame goes",
       {{{HeaderFrame("Xing"), true}, {Frames(k128, 20), true}, {Slice(frame, 0, 100), true}},
        {{Slice(frame, 100, k128Bytes), true}, {Frames(k128, 10), true}},
        {{HeaderFrame("VBRI"), false}, {Frames(k128, 5), true}}},
       "Xing",
       false,
       0,
       0,
       {}},
      {"a VBRI header counts for all",
       {{{HeaderFrame("VBRI"), true}, {Frames(k128, 10), true}},
        {{Id3v2Tag(700, false), false}, {Frames(k160, 10), true}}},
       "VBRI",
       false,
       0,
       0,
       {}},
      {"one bit rate and no header: nothing added",
       {{{Id3v2Tag(300, false), true}, {Frames(k128, 10), true}, {test::Id3v1Trailer(), false}},
        {{Id3v2Tag(300, false), false}, {Frames(k128, 10), true}}},
       "",
       false,
       0,
       0,
       {}},
      {"bit rates that vary and no header: a Xing frame of our own after the first tag",
       {{{Id3v2Tag(300, false), true}, {Frames(k128, 10), true}},
        {{Frames(k160, 10), true}},
        {{Frames(kMpeg2, 10), true}}},
       "Xing",
       true,
       0,
       0,
       {3}},
      {"a Layer II stream first: no Xing frame of our own, at its start or after it",
       {{{test::FrameStream(kLayer2, k128Bytes, 10), true}},
        {{Frames(k128, 10), true}},
        {{Frames(k160, 10), true}}},
       "",
       false,
       0,
       0,
       {2, 3}},
      {"a source without MPEG audio keeps its tag",
       {{{HeaderFrame("Info", 576, 1000), true}, {Frames(k128, 10), true}},
        {{Id3v2Tag(100, false), true}, {Bytes(700, 'x'), true}, {test::Id3v1Trailer(), false}},
        {{Frames(k128, 10), true}}},
       "Info",
       false,
       576,
       529,
       {}},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> paths;
    Bytes kept;
    for (const std::vector<Piece>& pieces : c.sources) {
      Bytes source;
      for (const Piece& piece : pieces) {
        source.insert(source.end(), piece.bytes.begin(), piece.bytes.end());
        if (piece.kept) kept.insert(kept.end(), piece.bytes.begin(), piece.bytes.end());
      }
      paths.push_back(dir.File("source " + std::to_string(paths.size() + 1) + ".mp3"));
      test::WriteBytes(paths.back(), source);
    }
    RecordingHost host;
    ASSERT_TRUE(RunJoin(dir.File("joined.mp3"), paths, host).completed());
    std::vector<std::string> differing;
    for (int number : c.differing) differing.push_back(paths[static_cast<size_t>(number) - 1]);
    EXPECT_EQ(host.differing, differing);

    const Bytes joined = test::ReadBytes(dir.File("joined.mp3"));
    const test::WalkedFile walked = test::WalkMp3(joined);
    ASSERT_EQ(walked.header.has_value(), *c.marker != 0);
    if (!walked.header) {
      EXPECT_EQ(joined, kept);
      continue;
    }
    EXPECT_EQ(walked.header->marker, c.marker);
    EXPECT_EQ(test::HeaderMismatches(walked, joined), "");
    const size_t at = walked.firstFrame;
    const size_t end = at + walked.firstFrameBytes;
    // Outside its header frame the file is the kept bytes, which hold that frame unless it is
    // the join's own.
    EXPECT_EQ(
        test::Concat({Slice(joined, 0, at), Slice(joined, end, joined.size())}),
        c.ownHeader ? kept : test::Concat({Slice(kept, 0, at), Slice(kept, end, kept.size())}));
    EXPECT_EQ(walked.header->lame, c.delay > 0);
    if (walked.header->lame) {
      EXPECT_EQ(walked.header->delay, c.delay);
      EXPECT_EQ(walked.header->padding, c.padding);
    }
  }
}

// What a halt or a failure leaves on disk plays as it is: its header states what it holds.
TEST(JoinEngine, AFileCutShortByAHaltOrAFailureStatesWhatItHolds) {
  struct Case {
    const char* name;
    std::vector<std::string> sources;
    int haltAtPoll;
    JobOutcome outcome;
    bool header;
  };
  const Case cases[] = {
      {"a halt after a source with an Info header",
       {"info.mp3", "cbr.mp3"},
       1,
       JobOutcome::kCancelled,
       true},
      {"a failure after a source with an Info header",
       {"info.mp3", "gone.mp3"},
       -1,
       JobOutcome::kFileError,
       true},
      {"a failure after a source of one bit rate: no header of our own",
       {"cbr.mp3", "gone.mp3", "vbr.mp3"},
       -1,
       JobOutcome::kFileError,
       false},
  };
  test::TempDir dir;
  test::WriteBytes(dir.File("info.mp3"),
                   test::Concat({HeaderFrame("Info", 576, 1000), Frames(k128, 10)}));
  test::WriteBytes(dir.File("cbr.mp3"), Frames(k128, 10));
  test::WriteBytes(dir.File("vbr.mp3"), Frames(k160, 10));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> paths;
    for (const std::string& name : c.sources) paths.push_back(dir.File(name));
    RecordingHost host;
    host.haltAtPoll = c.haltAtPoll;
    EXPECT_EQ(RunJoin(dir.File("joined.mp3"), paths, host).outcome, c.outcome);
    const Bytes joined = test::ReadBytes(dir.File("joined.mp3"));
    const test::WalkedFile walked = test::WalkMp3(joined);
    EXPECT_EQ(walked.frames.size(), 10u);
    ASSERT_EQ(walked.header.has_value(), c.header);
    if (c.header) {
      EXPECT_EQ(test::HeaderMismatches(walked, joined), "");
    } else {
      EXPECT_EQ(joined, test::ReadBytes(paths[0]));
    }
  }
}

// The TOC of a long stream comes from a sample of its frames: exact up to 4096 frames, then
// within one step of the exact one.
TEST(JoinEngine, TocOfSampledFramesIsWithinAStepOfTheExactOne) {
  for (uint64_t frames : {1, 99, 100, 4096, 4097, 9000, 137814}) {
    SCOPED_TRACE(frames);
    std::vector<uint64_t> offsets;
    XingTocSampler sampler;
    uint64_t offset = 417;
    for (uint64_t i = 0; i < frames; ++i) {
      offsets.push_back(offset);
      sampler.AddFrame(offset);
      offset += i % 7 == 3 ? 1044 : 417 + (i * 2654435761u >> 20) % 2;  // mostly 128 kbps
    }
    const std::array<uint8_t, kXingTocBytes> toc = sampler.Toc(offset);
    for (size_t i = 0; i < kXingTocBytes; ++i) {
      int exact =
          static_cast<int>(std::min<uint64_t>(255, offsets[i * frames / 100] * 256 / offset));
      if (frames <= XingTocSampler::kMaxSamples) {
        EXPECT_EQ(toc[i], exact) << "entry " << i;
      } else {
        EXPECT_NEAR(toc[i], exact, 1) << "entry " << i;
      }
    }
  }
}

// MPEG-1 Layer III frames at 128 kbps, 44.1 kHz, stereo: 417 bytes, 32 of side information,
// a main data area of 381. `fill` fills the area; the side information says main_data_begin
// and has a bit set, so that only the reservoir frame below decodes to silence.
Bytes Layer3Frame(int mainDataBegin, unsigned char fill) {
  Bytes frame(417, fill);
  const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x00};
  std::copy(header, header + 4, frame.begin());
  std::fill(frame.begin() + 4, frame.begin() + 36, 0);
  frame[4] = static_cast<unsigned char>(mainDataBegin >> 1);
  frame[5] = static_cast<unsigned char>((mainDataBegin & 1) << 7);
  frame[10] = 1;
  return frame;
}

// A frame of all-zero side information whose area ends with `borrowed`.
Bytes ReservoirFrame(const Bytes& borrowed) {
  Bytes frame = Layer3Frame(0, 0x55);
  frame[10] = 0;
  std::copy(borrowed.begin(), borrowed.end(), frame.end() - static_cast<long>(borrowed.size()));
  return frame;
}

// Where a track that repeats the tail meets it: the frames it leaves out, or none.
TEST(TrackJunction, RepeatsAreLeftOutOnlyWhenBytesAndTimelineAgree) {
  const Bytes a1 = Layer3Frame(0, 1), a2 = Layer3Frame(100, 2), a3 = Layer3Frame(200, 3);
  const Bytes b1 = Layer3Frame(50, 4), deep = Layer3Frame(381 + 100, 5);
  Bytes a3Changed = a3;
  a3Changed[300] ^= 1;
  // The tail a1 a2 a3 ends a source of padding 1000: a delay of 1304 makes two frames
  // (2304 samples) between the timelines, 152 one and 2456 three.
  const struct {
    const char* name;
    std::vector<Bytes> head;
    int delay;
    size_t left;
  } cases[] = {
      {"reservoir frame, one repeat (its own borrowing does not count)",
       {ReservoirFrame({}), a3, b1},
       1304,
       2},
      {"a kept frame borrows the reservoir's bytes",
       {ReservoirFrame({a2.end() - 100, a2.end()}), a3, deep},
       1304,
       2},
      {"... which are not the tail's", {ReservoirFrame(Bytes(100, 9)), a3, deep}, 1304, 0},
      {"a repeated frame differs", {ReservoirFrame({}), a3Changed, b1}, 1304, 0},
      {"the timelines do not meet", {ReservoirFrame({}), a3, b1}, 1305, 0},
      {"near the start: no reservoir frame", {a1, a2, a3, b1}, 2456, 3},
      {"a kept frame borrows from before the track", {a3, deep}, 152, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JoinedTail tail;
    uint64_t end = 1000;  // the frames follow a tag
    for (const Bytes* frame : {&a1, &a2, &a3}) {
      tail.AddFrame(end, frame->data(), frame->size());
      end += frame->size();
    }
    tail.SetPadding(1000);
    const TrackHead head{c.delay, c.head};
    EXPECT_EQ(RepeatedFrames(tail, end, head), c.left);
    EXPECT_EQ(RepeatedFrames(tail, end + 1, head), 0u) << "bytes after the tail";
  }
}

}  // namespace
}  // namespace partwell
