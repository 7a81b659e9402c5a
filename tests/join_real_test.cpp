// Joins of real encoder output, played by real decoders: ffprobe's length of the joined file
// is what ffmpeg decodes of it, mpg123 plays every frame of every source without a warning,
// ffmpeg finds nothing wrong at the seams, the sources stay as they were, and the bytes are
// the sources' less what the join leaves out, under one header that speaks for them all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "mp3_walk.h"

namespace partwell {
namespace {

using namespace e2e;

constexpr int kRate = 44100;
constexpr int kSamplesPerFrame = 1152;

fs::path Wave(const std::string& name, const std::string& seconds, const std::string& from,
              const std::string& to) {
  return Made(name, [&](const fs::path& path) {
    MustRun({"sox", "-R", "-n", "-r", std::to_string(kRate), "-c", "2", path, "synth", seconds,
             "sine", from + "-" + to, "sine", "440"});
  });
}

fs::path WaveA() { return Wave("a.wav", "7", "200", "2000"); }
fs::path WaveB() { return Wave("b.wav", "5.3", "3000", "300"); }

// A cover of about 60 KB: a picture of noise, which JPEG hardly compresses.
fs::path Cover() {
  return Made("cover.jpg", [](const fs::path& path) {
    MustRun({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
             "nullsrc=s=256x256,geq=random(1)*255:random(1)*255:random(1)*255", "-frames:v", "1",
             "-q:v", "3", path});
  });
}

fs::path Lame(const std::string& name, const fs::path& wave, std::vector<std::string> options) {
  return Made(name, [&](const fs::path& path) {
    std::vector<std::string> argv = {"lame", "--quiet"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {wave.string(), path.string()});
    MustRun(argv);
  });
}

fs::path Whole() {
  return Lame("whole.mp3", WaveA(), {"-b", "128", "--add-id3v2", "--tt", "Whole"});
}

// Three tracks of Whole(), made by the documented split.
std::vector<fs::path> SplitTracks() {
  fs::path folder = Workspace::NewFolder("tracks");
  Outcome o = Cli({"split", Whole(), "--times", "0:00,0:02.50,0:04.75", "--folder", folder});
  if (o.exit != 0) ADD_FAILURE() << o;
  return {folder / "whole - 01.mp3", folder / "whole - 02.mp3", folder / "whole - 03.mp3"};
}

Bytes LessTrailer(Bytes bytes) {
  if (bytes.size() >= 128 && std::equal(bytes.end() - 128, bytes.end() - 125, "TAG")) {
    bytes.resize(bytes.size() - 128);
  }
  return bytes;
}

Bytes Without(const Bytes& bytes, size_t from, size_t to) {
  Bytes rest(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(from));
  rest.insert(rest.end(), bytes.begin() + static_cast<std::ptrdiff_t>(to), bytes.end());
  return rest;
}

// What the join keeps of a source: all of the first, less its trailer; of a later one, also
// less its leading ID3v2 tags and a first frame that holds a header.
Bytes Kept(const Bytes& source, bool first) {
  Bytes bytes = LessTrailer(source);
  if (first) return bytes;
  test::WalkedFile walked = test::WalkMp3(bytes);
  if (walked.header)
    bytes = Without(bytes, walked.firstFrame, walked.firstFrame + walked.firstFrameBytes);
  return Without(bytes, 0, walked.tagsEnd);
}

size_t Frames(const fs::path& mp3, Decoder decoder) {
  return Decode(mp3, decoder, Trim::kRaw).size() / 2 / kSamplesPerFrame;
}

TEST(JoinRealMp3, JoinedFilesPlayTheirWholeLength) {
  struct Case {
    const char* name;
    std::vector<fs::path> sources;
    const char* marker;  // of the joined file's header
  };
  const std::vector<fs::path> tracks = SplitTracks();
  const Case cases[] = {
      {"two VBR sources",
       {Lame("a-v4.mp3", WaveA(), {"-V", "4"}), Lame("b-v4.mp3", WaveB(), {"-V", "4"})},
       "Xing"},
      {"CBR 128 and VBR",
       {Lame("a-128.mp3", WaveA(), {"-b", "128"}), Lame("b-v4.mp3", WaveB(), {"-V", "4"})},
       "Xing"},
      {"CBR 128 and CBR 320 without Info headers",
       {Lame("a-128-t.mp3", WaveA(), {"-t", "-b", "128"}),
        Lame("b-320-t.mp3", WaveB(), {"-t", "-b", "320"})},
       "Xing"},
      {"UTF-16 ID3v2 tags with a 60 KB cover",
       {Lame("a-cover.mp3", WaveA(),
             {"-V", "2", "--id3v2-utf16", "--tt", "Ünïcödé", "--ti", Cover().string()}),
        Lame("b-cover.mp3", WaveB(),
             {"-b", "128", "--add-id3v2", "--id3v2-utf16", "--ta", "Ärtist", "--ti",
              Cover().string()})},
       "Xing"},
      {"the documented split's tracks", tracks, "Info"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Bytes> before;
    Bytes kept;
    size_t frames = 0;
    for (const fs::path& source : c.sources) {
      before.push_back(ReadBytes(source));
      Bytes bytes = Kept(before.back(), kept.empty());
      kept.insert(kept.end(), bytes.begin(), bytes.end());
      frames += Frames(source, Decoder::kMpg123);
    }
    fs::path joined = Workspace::NewFolder("join") / "joined.mp3";
    std::vector<std::string> args = {"join", joined};
    args.insert(args.end(), c.sources.begin(), c.sources.end());
    Outcome o = Cli(args);
    ASSERT_EQ(o.exit, 0) << o;
    for (size_t i = 0; i < c.sources.size(); ++i) {
      EXPECT_TRUE(SameBytes(ReadBytes(c.sources[i]), before[i]))
          << "source " << i + 1 << " changed";
    }

    // The bytes: the kept bytes under one header that states the joined stream's numbers.
    const Bytes bytes = ReadBytes(joined);
    const test::WalkedFile walked = test::WalkMp3(bytes);
    ASSERT_TRUE(walked.header);
    EXPECT_EQ(walked.header->marker, c.marker);
    EXPECT_EQ(test::HeaderMismatches(walked, bytes), "");
    const size_t at = walked.firstFrame;
    const size_t end = at + walked.firstFrameBytes;
    const bool ownHeader = kept.size() < bytes.size();
    EXPECT_TRUE(SameBytes(Without(bytes, at, end), ownHeader ? kept : Without(kept, at, end)));
    if (c.sources == tracks) {
      // The split's tracks give back the source's frames; the last track has no LAME tag of
      // its own, so the joined file plays to the end of its last frame.
      EXPECT_EQ(walked.frames.size(), test::WalkMp3(LessTrailer(ReadBytes(Whole()))).frames.size());
      EXPECT_EQ(walked.header->padding, 529);
    }

    // The players: every frame played, without a complaint, for as long as the header says.
    EXPECT_EQ(Frames(joined, Decoder::kMpg123), frames);
    EXPECT_EQ(walked.frames.size(), frames);
    Outcome played = e2e::Run({"mpg123", "-t", joined});
    EXPECT_EQ(played.exit, 0) << played;
    for (const char* trouble : {"Frankenstein", "arning", "rror"}) {
      EXPECT_FALSE(Contains(played.err, trouble)) << played;
    }
    Outcome checked = e2e::Run({"ffmpeg", "-v", "warning", "-i", joined, "-f", "null", "-"});
    EXPECT_EQ(checked.exit, 0) << checked;
    EXPECT_EQ(checked.err, "") << checked;
    // ffprobe states the length of every frame; ffmpeg plays it less the encoder delay and
    // padding that a LAME extension asks it to trim.
    double stated = std::stod(MustRun({"ffprobe", "-v", "error", "-show_entries", "format=duration",
                                       "-of", "csv=p=0", joined})
                                  .out);
    double trimmed = walked.header->lame && walked.header->encoder.rfind("LAME", 0) == 0
                         ? walked.header->delay + walked.header->padding
                         : 0;
    double decoded = (Decode(joined, Decoder::kFfmpeg).size() / 2 + trimmed) / kRate;
    EXPECT_NEAR(stated, decoded, static_cast<double>(kSamplesPerFrame) / kRate);
  }
}

// A source of another sampling rate or channel count is joined, with a warning that names it.
TEST(JoinRealMp3, ASourceOfAnotherKindIsNamedInAWarning) {
  fs::path mono = Made("b-mono-22k.mp3", [](const fs::path& path) {
    MustRun({"lame", "--quiet", "-m", "m", "--resample", "22.05", "-b", "64", WaveB().string(),
             path.string()});
  });
  fs::path joined = Workspace::NewFolder("join") / "joined.mp3";
  Outcome o = Cli({"join", joined, Lame("a-128.mp3", WaveA(), {"-b", "128"}), mono});
  EXPECT_EQ(o.exit, 0) << o;
  EXPECT_TRUE(Contains(o.err, "Warning: " + mono.string() +
                                  " is MPEG-2 Layer III, 22050 Hz, mono, "
                                  "the first source MPEG-1 Layer III, 44100 Hz, stereo"))
      << o;
  EXPECT_TRUE(Contains(o.out, "Track joining completed successfully.")) << o;
}

}  // namespace
}  // namespace partwell
