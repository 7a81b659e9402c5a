// The stream scan on real encoder output, checked against what ffmpeg and mpg123 decode of
// the same files: the frames the scan counts are the frames they decode, and the timeline is
// what a gapless player plays.
#include <gtest/gtest.h>

#include "e2e_support.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "mpeg/stream_scan.h"

namespace partwell {
namespace {

using namespace e2e;

fs::path Encoded(const std::string& name, int rate, int channels,
                 const std::vector<std::string>& options, const char* maker = "lame") {
  return Made(name, [&](const fs::path& path) {
    fs::path wave = path.string() + ".wav";
    MustRun({"sox", "-R", "-n", "-r", std::to_string(rate), "-c", std::to_string(channels), wave,
             "synth", "3.3", "sine", "300-3000", "sine", "440"});
    std::vector<std::string> argv;
    if (std::string(maker) == "lame") {
      argv = {"lame", "--quiet"};
      argv.insert(argv.end(), options.begin(), options.end());
      argv.insert(argv.end(), {wave.string(), path.string()});
    } else {
      argv = {"ffmpeg", "-v", "error", "-i", wave.string()};
      argv.insert(argv.end(), options.begin(), options.end());
      argv.push_back(path.string());
    }
    MustRun(argv);
  });
}

StreamScan Scan(const fs::path& path) {
  File file = File::OpenForReading(path.string());
  StreamScan scan;
  EXPECT_EQ(ScanStream(file, scan), StreamScanOutcome::kScanned) << path;
  return scan;
}

// The timeline's arithmetic, worked by hand: 1152 samples a frame, 100 frames (115,200 raw).
TEST(StreamScan, TimelineTrimsTheTagsDelayAndThePaddingStillInTheStream) {
  struct Case {
    const char* what;
    bool trusted;
    int delay, padding;
    std::optional<uint32_t> statedFrames;
    uint64_t rawStart, length;
  };
  const Case cases[] = {
      {"no tag: the decoder's delay only", false, 576, 1000, 100, 529, 115200 - 529},
      {"trusted tag", true, 576, 1000, 100, 576 + 529, 115200 - 576 - 1000},
      {"padding under the decoder delay", true, 576, 100, 100, 576 + 529, 115200 - 576 - 529},
      {"no frame count stated", true, 576, 1000, std::nullopt, 576 + 529, 115200 - 576 - 1000},
      {"cut short by a frame: the padding's part in it is gone", true, 576, 2000, 101, 576 + 529,
       115200 - 576 - (2000 - 1152)},
      {"cut short by more than the padding", true, 576, 1500, 103, 576 + 529, 115200 - 576 - 529},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VbrHeader header;
    header.frames = c.statedFrames;
    header.lame = LameExtension{};
    header.lame->trusted = c.trusted;
    header.lame->delay = c.delay;
    header.lame->padding = c.padding;
    SourceTimeline timeline = MakeSourceTimeline(header, 100, 1152);
    EXPECT_EQ(timeline.rawStart, c.rawStart);
    EXPECT_EQ(timeline.length, c.length);
  }
}

TEST(StreamScan, FramesAndTimelineAreWhatDecodersPlay) {
  struct Case {
    const char* name;
    fs::path source;
    bool lameTag;  // a LAME tag that ffmpeg trusts: its gapless output is the timeline
    bool cbr;
  };
  const Case cases[] = {
      {"cbr128", Encoded("cbr128.mp3", 44100, 2, {"-b", "128"}), true, true},
      {"cbr320 crc tagged",
       Encoded("cbr320.mp3", 48000, 2, {"-b", "320", "-p", "--add-id3v2", "--tt", "T"}), true,
       true},
      {"vbr v2", Encoded("v2.mp3", 44100, 2, {"-V", "2"}), true, false},
      {"no tag", Encoded("notag.mp3", 44100, 2, {"-b", "128", "-t"}), false, true},
      {"mpeg2 mono", Encoded("m2.mp3", 22050, 1, {"-b", "64", "-m", "m"}), true, true},
      {"mpeg2.5 vbr", Encoded("m25.mp3", 11025, 2, {"-V", "6"}), true, false},
      {"mpeg2.5 8 kbps", Encoded("m25-8.mp3", 8000, 1, {"-b", "8", "-m", "m"}), false, true},
      {"ffmpeg", Encoded("lavc.mp3", 44100, 2, {"-c:a", "libmp3lame", "-b:a", "160k"}, "ffmpeg"),
       true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StreamScan scan = Scan(c.source);
    int channels = ChannelCount(scan.first.header);
    uint64_t spf = static_cast<uint64_t>(SamplesPerFrame(scan.first.header));
    EXPECT_EQ(scan.vbrHeader.has_value(), c.lameTag);
    EXPECT_EQ(scan.constantBitRate, c.cbr);
    EXPECT_EQ(scan.skippedBytes, 0u);
    EXPECT_FALSE(scan.truncatedLastFrame);
    for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
      SCOPED_TRACE(DecoderName(decoder));
      EXPECT_EQ(Decode(c.source, decoder, Trim::kRaw).size(), scan.audioFrames * spf * channels);
    }
    uint64_t played = Decode(c.source, Decoder::kFfmpeg).size() / static_cast<size_t>(channels);
    EXPECT_EQ(played, c.lameTag ? scan.timeline.length : scan.audioFrames * spf);
    EXPECT_EQ(scan.timeline.rawStart, scan.timeline.delay + uint64_t{529});
  }
}

TEST(StreamScan, JunkBetweenFramesAndATruncatedLastFrame) {
  fs::path source = Encoded("cbr128.mp3", 44100, 2, {"-b", "128"});
  StreamScan whole = Scan(source);
  Bytes bytes = ReadBytes(source);
  size_t cut = static_cast<size_t>(whole.first.position);
  for (int frame = 0; frame < 10; ++frame) cut += FrameLength(ReadBigEndian32(&bytes[cut]));

  // A false sync with a header of the stream inside 700 bytes of junk.
  Bytes junk(700, 0x11);
  junk[100] = 0xFF;
  junk[101] = 0xFB;
  junk[102] = 0x90;
  Bytes withJunk(bytes.begin(), bytes.begin() + cut);
  withJunk.insert(withJunk.end(), junk.begin(), junk.end());
  withJunk.insert(withJunk.end(), bytes.begin() + cut, bytes.end());
  fs::path junky = Workspace::Root() / "junk.mp3";
  WriteBytes(junky, withJunk);
  StreamScan scan = Scan(junky);
  EXPECT_EQ(scan.audioFrames, whole.audioFrames);
  EXPECT_EQ(scan.skippedBytes, junk.size());

  Bytes truncated(bytes.begin(), bytes.end() - 200);
  fs::path cutShort = Workspace::Root() / "truncated.mp3";
  WriteBytes(cutShort, truncated);
  scan = Scan(cutShort);
  EXPECT_TRUE(scan.truncatedLastFrame);
  EXPECT_EQ(scan.audioFrames, whole.audioFrames - 1);

  fs::path empty = Workspace::Root() / "noframes.mp3";
  WriteBytes(empty, Bytes(5000, 0xFF));
  File file = File::OpenForReading(empty.string());
  StreamScan none;
  EXPECT_EQ(ScanStream(file, none), StreamScanOutcome::kNoFrames);
}

}  // namespace
}  // namespace partwell
