// End-to-end tests of `mp3partwell split --exact` and `mp3partwell cut` on real encoder output.
// Every track is decoded with ffmpeg and with mpg123 and compared with the same decoder's raw
// decode of the source, sliced where the source's timeline says; ffprobe must accept each track's
// LAME tag and mp3val its frame and byte counts. The source's tag and the tracks' frames are read
// with the tests' own reader (mp3_walk), not with the program's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "mp3_walk.h"
#include "source_recipes.h"

namespace {

using namespace partwell::e2e;
using partwell::test::BigEndian;
using partwell::test::Layer3Bytes;
using partwell::test::Layer3SampleRate;
using partwell::test::Layer3SamplesPerFrame;
using partwell::test::ReadHeaderFrame;
using partwell::test::WalkedFile;
using partwell::test::WalkedHeader;
using partwell::test::WalkMp3;

constexpr int kDecoderDelay = 529;
constexpr size_t kId3v1Bytes = 128;
// ffmpeg takes a file whose size is more than 1/16 over its Info frame's byte count for a
// concatenation and trims no end: an ID3v1 trailer does that to a track under 2048 bytes.
constexpr size_t kSmallTrackBytes = 2048;

// ---------------------------------------------------------------------------------------
// Reading MP3s

// The first frame of a stream, as the tests' reader finds it.
struct Frame {
  size_t at = 0;
  size_t bytes = 0;
  bool mono = false;
  int rate = 0;
  int samples = 0;
};

Frame FrameOf(const Bytes& file, size_t at, size_t bytes) {
  Frame f;
  f.at = at;
  f.bytes = bytes;
  f.mono = (file[at + 3] >> 6) == 3;
  f.rate = Layer3SampleRate(&file[at]);
  f.samples = Layer3SamplesPerFrame(&file[at]);
  return f;
}

// The Xing/Info header of the frame at `frame`, with its LAME extension's numbers.
struct InfoTag {
  bool present = false;
  uint32_t frames = 0;
  uint32_t bytes = 0;
  std::vector<unsigned char> toc;  // 100 entries
  bool trusted = false;  // an encoder string decoders believe: they trim delay and padding
  int delay = 0;
  int padding = 0;
};

InfoTag ReadInfoTag(const Bytes& file, const Frame& frame) {
  InfoTag tag;
  std::optional<WalkedHeader> h = ReadHeaderFrame(&file[frame.at], frame.bytes);
  if (!h || h->marker == "VBRI") return tag;
  const unsigned char* p = &file[frame.at];
  tag.present = true;
  if (h->framesField) tag.frames = BigEndian(p + h->framesField, 4);
  if (h->bytesField) tag.bytes = BigEndian(p + h->bytesField, 4);
  tag.toc = h->toc;
  const std::string encoder = h->encoder.substr(0, 4);
  tag.trusted = h->lame && (encoder == "LAME" || encoder == "Lavc" || encoder == "Lavf");
  tag.delay = h->delay;
  tag.padding = h->padding;
  return tag;
}

bool HasId3v1(const Bytes& file) {
  return file.size() >= kId3v1Bytes && std::memcmp(&file[file.size() - kId3v1Bytes], "TAG", 3) == 0;
}

// The file without its ID3v1 trailer, walked.
WalkedFile WalkAudio(const Bytes& file) {
  return WalkMp3(HasId3v1(file) ? Bytes(file.begin(), file.end() - kId3v1Bytes) : file);
}

// What a gapless player plays of a source, as a slice of a decoder's raw output.
struct SourceInfo {
  Frame first;
  int channels = 2;
  int64_t rawStart = 0;  // delay + 529
  int64_t length = 0;    // of the timeline, in samples per channel
  bool vbri = false;     // a VBRI frame that mpg123 plays as silence and ffmpeg skips
  int64_t frames = 0;    // audio frames
  std::optional<std::pair<int, int>> delayAndPadding;  // as a trusted tag states them
};

std::vector<int16_t> ToSamples(const std::string& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// ---------------------------------------------------------------------------------------
// Sources

// 3.3 s of a sweep; in stereo with pink noise on the right.
fs::path MakeWave(const std::string& name, int rate, int channels) {
  return Made(name, [&](const fs::path& path) {
    std::vector<std::string> argv = {"sox",
                                     "-R",
                                     "-n",
                                     "-r",
                                     std::to_string(rate),
                                     "-c",
                                     std::to_string(channels),
                                     path,
                                     "synth",
                                     "3.3",
                                     "sine",
                                     "300-3000"};
    if (channels == 2) argv.push_back("pinknoise");
    MustRun(argv);
  });
}

// A VBRI source: a lame file without a tag, with a Fraunhofer VBRI frame put before its
// frames (all-zero side information, "VBRI" at byte 36, its frame and byte counts).
void AddVbriFrame(const fs::path& path) {
  Bytes file = ReadBytes(path);
  const WalkedFile walked = WalkMp3(file);
  const size_t first = walked.firstFrame;
  Bytes frame(walked.firstFrameBytes, 0);
  std::copy(file.begin() + static_cast<std::ptrdiff_t>(first),
            file.begin() + static_cast<std::ptrdiff_t>(first + 4), frame.begin());
  frame[2] &= 0xFD;  // no padding
  frame.resize(Layer3Bytes(frame.data()));
  std::memcpy(&frame[36], "VBRI\0\x01\0\0\0\x50", 10);
  const uint32_t frames = static_cast<uint32_t>(walked.frames.size());
  const uint32_t bytes = static_cast<uint32_t>(file.size() - first + frame.size());
  for (int i = 0; i < 4; ++i) {
    frame[46 + i] = static_cast<unsigned char>(bytes >> (24 - 8 * i));
    frame[50 + i] = static_cast<unsigned char>(frames >> (24 - 8 * i));
  }
  file.insert(file.begin() + static_cast<std::ptrdiff_t>(first), frame.begin(), frame.end());
  WriteBytes(path, file);
}

fs::path MakeSource(const SourceRecipe& recipe) {
  return Made(std::string(recipe.name) + ".mp3", [&](const fs::path& path) {
    fs::path wave = MakeWave(std::string("exact ") + std::to_string(recipe.rate) + "-" +
                                 std::to_string(recipe.channels) + ".wav",
                             recipe.rate, recipe.channels);
    std::vector<std::string> argv = {"lame", "--quiet"};
    argv.insert(argv.end(), recipe.lame.begin(), recipe.lame.end());
    if (recipe.lame.empty()) argv.insert(argv.end(), {"-V", "5", "-t"});
    argv.insert(argv.end(), {wave.string(), path.string()});
    MustRun(argv);
    if (recipe.lame.empty()) AddVbriFrame(path);
    if (recipe.keptPercent < 100) {
      Bytes file = ReadBytes(path);
      file.resize(file.size() * static_cast<size_t>(recipe.keptPercent) / 100);
      WriteBytes(path, file);
    }
  });
}

SourceInfo ReadSource(const fs::path& path) {
  Bytes file = ReadBytes(path);
  const WalkedFile walked = WalkAudio(file);
  SourceInfo info;
  info.first = FrameOf(file, walked.firstFrame, walked.firstFrameBytes);
  info.channels = info.first.mono ? 1 : 2;
  InfoTag tag = ReadInfoTag(file, info.first);
  info.vbri = walked.header && walked.header->marker == "VBRI";
  const int64_t frames = static_cast<int64_t>(walked.frames.size());
  info.frames = frames;
  if (tag.trusted) info.delayAndPadding = std::make_pair(tag.delay, tag.padding);
  int delay = tag.trusted ? tag.delay : 0;
  int padding = tag.trusted ? std::max(tag.padding, kDecoderDelay) : kDecoderDelay;
  // Cut short: the frames that held the padding, or some of it, are gone; decoders play to
  // the end of what is left, short of the padding still there.
  int64_t missing = tag.trusted && tag.frames > frames ? tag.frames - frames : 0;
  padding =
      static_cast<int>(std::max<int64_t>(kDecoderDelay, padding - missing * info.first.samples));
  info.rawStart = delay + kDecoderDelay;
  info.length = frames * info.first.samples - delay - padding;
  return info;
}

// ---------------------------------------------------------------------------------------
// Splitting and decoding

struct Decoded {
  std::vector<int16_t> samples;
  std::string warnings;
};

// Runs shell commands two at a time.
void RunTwoAtATime(const std::vector<std::string>& commands, const fs::path& folder) {
  std::string script;
  for (int lane = 0; lane < 2; ++lane) {
    script += "(\ntrue\n";
    for (size_t i = static_cast<size_t>(lane); i < commands.size(); i += 2)
      script += commands[i] + "\n";
    script += ") &\n";
  }
  script += "wait\n";
  fs::path file = folder / "decode.sh";
  WriteBytes(file, Bytes(script.begin(), script.end()));
  MustRun({"sh", file});
}

std::string DecodeCommand(const fs::path& mp3, Decoder decoder, bool raw, const fs::path& out) {
  std::string pcm = Quote(out.string() + ".pcm"), err = Quote(out.string() + ".err");
  if (decoder == Decoder::kFfmpeg) {
    // "crccheck": a reservoir frame of a source with CRCs carries a right one.
    return std::string("ffmpeg -nostdin -v warning -err_detect crccheck -y ") +
           (raw ? "-flags2 +skip_manual " : "") + "-f mp3 -i " + Quote(mp3) + " -f s16le " + pcm +
           " 2>" + err;
  }
  return std::string("mpg123 ") + (raw ? "--no-gapless " : "") + "-s " + Quote(mp3) + " >" + pcm +
         " 2>" + err;
}

// mpg123 prints its banner and progress on standard error; its warnings say so.
std::string Warnings(const std::string& err, Decoder decoder) {
  if (decoder == Decoder::kFfmpeg) return err;
  std::string warnings;
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    if (Contains(line, "arning") || Contains(line, "rror") || Contains(line, "Frankenstein")) {
      warnings += line + "\n";
    }
  }
  return warnings;
}

Decoded ReadDecoded(const fs::path& out, Decoder decoder) {
  return {ToSamples(ReadText(out.string() + ".pcm")),
          Warnings(ReadText(out.string() + ".err"), decoder)};
}

// Each decoder's raw decode of a source: every frame's samples, nothing trimmed. mpg123's
// silent frame for a VBRI frame is left out, as ffmpeg skips that frame.
const std::vector<int16_t>& RawSource(const fs::path& source, Decoder decoder) {
  static std::map<std::pair<std::string, Decoder>, std::vector<int16_t>> decoded;
  auto key = std::make_pair(source.string(), decoder);
  auto found = decoded.find(key);
  if (found != decoded.end()) return found->second;
  fs::path out = Workspace::NewFolder("raw") / "source";
  RunTwoAtATime({DecodeCommand(source, decoder, true, out)}, out.parent_path());
  std::vector<int16_t> samples = ReadDecoded(out, decoder).samples;
  SourceInfo info = ReadSource(source);
  if (info.vbri && decoder == Decoder::kMpg123) {
    samples.erase(samples.begin(), samples.begin() + info.first.samples * info.channels);
  }
  return decoded[key] = samples;
}

int64_t SampleOf(const std::string& time, int rate) {
  int minutes = 0, seconds = 0, hundredths = 0;
  std::sscanf(time.c_str(), "%d:%d.%d", &minutes, &seconds, &hundredths);
  return ((minutes * 6000 + seconds * 100 + hundredths) * int64_t{rate} + 50) / 100;
}

std::string TimeText(int64_t hundredths) {
  char text[64];
  std::snprintf(
      text, sizeof text, "%03lld:%02lld.%02lld", static_cast<long long>(hundredths / 6000),
      static_cast<long long>(hundredths / 100 % 60), static_cast<long long>(hundredths % 100));
  return text;
}

std::string Join(const std::vector<std::string>& times) {
  std::string list;
  for (const std::string& time : times) list += (list.empty() ? "" : ",") + time;
  return list;
}

// What the checks of one split allowed, to report where the decoders' limits were met.
struct Allowed {
  int extraStart = 0;  // ffmpeg: a track within one frame starts early
  int rounding = 0;    // mpg123: mono samples off by one
  int smallTrack = 0;  // ffmpeg: a small track that ends with an ID3v1 trailer runs on
};

std::vector<int16_t> Slice(const std::vector<int16_t>& samples, int64_t from, int64_t to,
                           int channels) {
  from = std::clamp<int64_t>(from * channels, 0, static_cast<int64_t>(samples.size()));
  to = std::clamp<int64_t>(to * channels, from, static_cast<int64_t>(samples.size()));
  return std::vector<int16_t>(samples.begin() + from, samples.begin() + to);
}

bool OffByOneAtMost(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::abs(a[i] - b[i]) > 1) return false;
  }
  return true;
}

struct Track {
  fs::path path;
  Bytes bytes;  // from the Info frame on: the file less its ID3v2 tag
  InfoTag tag;
  Frame info;
  int64_t start = 0;
  int64_t end = 0;
};

// Checks a track's frames as a reader walks them: an Info frame whose counts are those of
// the frames after it, then whole frames up to the trailer.
void CheckFrames(const Track& track, bool trailer) {
  ASSERT_TRUE(track.tag.present) << track.path;
  size_t end = track.bytes.size() - (trailer ? kId3v1Bytes : 0);
  EXPECT_EQ(trailer, HasId3v1(track.bytes));
  const WalkedFile walked = WalkAudio(track.bytes);
  EXPECT_EQ(walked.firstFrame, 0u);
  const std::vector<size_t>& offsets = walked.frames;  // of each audio frame from the start
  const uint32_t frames = static_cast<uint32_t>(offsets.size());
  EXPECT_EQ(walked.skipped, 0u) << "no bytes between frames";
  EXPECT_EQ(walked.framesEnd, end) << "frames end where the audio ends";
  EXPECT_EQ(track.tag.frames, frames);
  EXPECT_EQ(track.tag.bytes, end);
  // Seek table entry i: where frame i x frames / 100 starts, in 256ths of the track's bytes.
  std::vector<unsigned char> toc;
  for (uint64_t i = 0; i < 100 && frames > 0; ++i) {
    toc.push_back(
        static_cast<unsigned char>(std::min<uint64_t>(255, 256 * offsets[i * frames / 100] / end)));
  }
  EXPECT_EQ(track.tag.toc, toc);
  EXPECT_LE(track.tag.delay, 3000);
  EXPECT_LE(track.tag.padding, 3000);
  EXPECT_GE(frames, 2u);
}

// The tracks of a split, read back, in the folder they were written to.
struct SplitTracks {
  fs::path folder;
  std::vector<Track> tracks;
};

// Splits `source` at `times` (or into equal segments; with an ID3v2 tag before each track's
// Info frame when `tags`) and reads each track where the timeline says it lies.
SplitTracks RunExactSplit(const fs::path& source, const SourceInfo& info,
                          const std::vector<std::string>& times, bool equal, const std::string& cue,
                          bool tags) {
  fs::path folder = Workspace::NewFolder("exact");
  std::vector<std::string> args = {"split", source, "--exact", "--folder", folder};
  if (cue.empty()) {
    args.insert(args.end(), {"--times", Join(times)});
  } else {
    args.insert(args.end(), {"--cue", cue});
  }
  if (equal) args.push_back("--equal");
  if (tags) args.push_back("--tags");
  Outcome o = Cli(args);
  EXPECT_EQ(o.exit, 0) << o;
  EXPECT_TRUE(Contains(o.out, "Track creation completed successfully.")) << o;

  // Where each track starts and ends on the timeline.
  std::vector<int64_t> cuts;
  if (equal) {
    int64_t length = SampleOf(times[1], info.first.rate);
    for (int64_t s = 0; s < info.length; s += length) cuts.push_back(s);
  } else {
    for (const std::string& time : times) {
      int64_t s = time[0] == '@' ? std::stoll(time.substr(1)) : SampleOf(time, info.first.rate);
      if (s < info.length) cuts.push_back(s);
    }
  }
  std::vector<Track> tracks(cuts.size());
  for (size_t i = 0; i < tracks.size(); ++i) {
    Track& track = tracks[i];
    char name[64];
    std::snprintf(name, sizeof name, "%s - %02zu.mp3", source.stem().c_str(), i + 1);
    track.path = folder / name;
    track.start = cuts[i];
    track.end = i + 1 < cuts.size() ? cuts[i + 1] : info.length;
    track.bytes = ReadBytes(track.path);
    const WalkedFile walked = WalkAudio(track.bytes);
    const size_t tag = walked.tagsEnd;
    EXPECT_EQ(tag > 0, tags) << track.path;
    track.bytes.erase(track.bytes.begin(), track.bytes.begin() + static_cast<std::ptrdiff_t>(tag));
    EXPECT_EQ(walked.firstFrame, tag) << "the Info frame follows the tag";
    track.info = FrameOf(track.bytes, 0, walked.firstFrameBytes);
    track.tag = ReadInfoTag(track.bytes, track.info);
  }
  size_t written = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    written += entry.path().extension() == ".mp3";
  EXPECT_EQ(written, tracks.size()) << "a track for each cut before the end of the timeline";
  return {folder, tracks};
}

// Decodes every track with both decoders and runs ffprobe and mp3val over them, two
// commands at a time; the results are files in the split's folder.
void DecodeTracks(const SplitTracks& split) {
  std::vector<std::string> commands;
  std::string mp3val = "mp3val";
  const fs::path& folder = split.folder;
  for (size_t i = 0; i < split.tracks.size(); ++i) {
    const Track& track = split.tracks[i];
    for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
      commands.push_back(DecodeCommand(track.path, decoder, false,
                                       folder / (std::to_string(i) + DecoderName(decoder))));
    }
    commands.push_back(
        "ffprobe -v error -f mp3 -show_entries stream_tags=encoder -of "
        "default=nw=1:nk=1 " +
        Quote(track.path) + " >" + Quote((folder / (std::to_string(i) + ".encoder")).string()));
    mp3val += " " + Quote(track.path);
  }
  commands.push_back(mp3val + " >" + Quote((folder / "mp3val.txt").string()));
  RunTwoAtATime(commands, folder);
}

// Checks a decoding of [start, end) of the timeline, from a file whose tag states `delay`;
// `small`: a small file that ends with an ID3v1 trailer. Counts in `allowed` what a limit of
// the decoder let pass; false when it is wrong.
bool JudgeDecoded(const Decoded& got, const std::vector<int16_t>& timeline, const SourceInfo& info,
                  Decoder decoder, int64_t start, int64_t end, int delay, bool small,
                  Allowed& allowed) {
  std::vector<int16_t> want = Slice(timeline, start, end, info.channels);
  if (got.samples == want && got.warnings.empty()) return true;
  const int64_t spf = info.first.samples;
  const int64_t firstFrame = (start + info.rawStart) / spf;
  const bool oneFrame = firstFrame > 0 && firstFrame == (end + info.rawStart - 1) / spf;
  const int64_t early = (delay + kDecoderDelay) % spf;
  if (decoder == Decoder::kFfmpeg && oneFrame && got.warnings.empty() &&
      got.samples == Slice(timeline, start - early, end, info.channels)) {
    ++allowed.extraStart;  // the pending start skip is lost to the end trim of one packet
  } else if (decoder == Decoder::kMpg123 && info.channels == 1 && got.warnings.empty() &&
             OffByOneAtMost(got.samples, want)) {
    ++allowed.rounding;  // mpg123's synthesis rounds by the phase of its ring buffer
  } else if (decoder == Decoder::kFfmpeg && small && got.samples.size() >= want.size() &&
             std::equal(want.begin(), want.end(), got.samples.begin())) {
    ++allowed.smallTrack;  // "invalid concatenated file": no end trim
  } else {
    ADD_FAILURE() << got.samples.size() / info.channels << " samples where "
                  << want.size() / info.channels << " were expected; warnings: " << got.warnings;
  }
  return false;
}

// Checks each decoded track against its slice of the same decoder's timeline of the source,
// and the tracks' frames, encoder and mp3val's verdict. Returns what the decoders' limits
// made the checks allow.
Allowed CompareWithTimeline(const fs::path& source, const SourceInfo& info,
                            const SplitTracks& split) {
  const bool trailer = HasId3v1(ReadBytes(source));
  const fs::path& folder = split.folder;
  const std::vector<Track>& tracks = split.tracks;
  Allowed allowed;
  const std::string mp3valText = ReadText(folder / "mp3val.txt");
  EXPECT_FALSE(Contains(mp3valText, "Wrong")) << mp3valText;
  for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
    SCOPED_TRACE(DecoderName(decoder));
    const std::vector<int16_t> timeline = Slice(RawSource(source, decoder), info.rawStart,
                                                info.rawStart + info.length, info.channels);
    std::vector<int16_t> joined;
    bool joinable = true;
    for (size_t i = 0; i < tracks.size(); ++i) {
      const Track& track = tracks[i];
      SCOPED_TRACE(track.path.filename().string() + " [" + std::to_string(track.start) + ", " +
                   std::to_string(track.end) + ")");
      if (decoder == Decoder::kFfmpeg) {
        CheckFrames(track, trailer);
        // ffprobe shows the encoder only when the tag's CRC holds: the source's, or "LAME".
        std::string encoder = ReadText(folder / (std::to_string(i) + ".encoder"));
        EXPECT_TRUE(encoder.rfind("LAME", 0) == 0 || encoder.rfind("Lavc", 0) == 0) << encoder;
      }
      Decoded got = ReadDecoded(folder / (std::to_string(i) + DecoderName(decoder)), decoder);
      joined.insert(joined.end(), got.samples.begin(), got.samples.end());
      const bool small = trailer && track.bytes.size() < kSmallTrackBytes;
      joinable = JudgeDecoded(got, timeline, info, decoder, track.start, track.end, track.tag.delay,
                              small, allowed) &&
                 joinable;
    }
    if (joinable) {
      EXPECT_TRUE(joined == timeline) << "tracks back to back are the timeline";
    }
  }
  return allowed;
}

// Splits `source` and checks every track with both decoders, ffprobe and mp3val.
Allowed CheckExactSplit(const fs::path& source, const std::vector<std::string>& times,
                        bool equal = false, const std::string& cue = "", bool tags = false) {
  const SourceInfo info = ReadSource(source);
  const SplitTracks split = RunExactSplit(source, info, times, equal, cue, tags);
  DecodeTracks(split);
  return CompareWithTimeline(source, info, split);
}

// Times (text) of cuts a source gets: the first frames, the last frames, a few 1 to 3
// hundredths apart, cuts at the start of a frame and random ones with a fixed seed.
std::vector<std::vector<std::string>> CutPatterns(const SourceInfo& info, unsigned seed) {
  const int64_t rate = info.first.rate, spf = info.first.samples;
  const int64_t last = info.length * 100 / rate;  // hundredths
  std::vector<int64_t> edges = {
      0, 1, 2, 4, last / 2, last / 2 + 1, last / 2 + 3, last / 2 + 6, last - 3, last - 1};
  std::vector<int64_t> others = {0};
  for (int64_t h = 20; h < last && others.size() < 4; h += 7) {
    if ((((h * rate + 50) / 100) + info.rawStart) % spf < 8) others.push_back(h);
  }
  std::mt19937 random(seed);
  for (int i = 0; i < 4; ++i)
    others.push_back(std::uniform_int_distribution<int64_t>(1, last - 1)(random));
  std::sort(others.begin(), others.end());
  others.erase(std::unique(others.begin(), others.end()), others.end());
  std::vector<std::vector<std::string>> patterns;
  for (const auto& hundredths : {edges, others}) {
    std::vector<std::string> times;
    for (int64_t h : hundredths) times.push_back(TimeText(h));
    patterns.push_back(times);
  }
  return patterns;
}

const std::vector<SourceRecipe>& kSources = ExactSplitRecipes();

TEST(ExactSplit, TracksDecodeToTheirSliceOfTheTimeline) {
  Allowed total;
  unsigned seed = 1;
  for (const SourceRecipe& recipe : kSources) {
    SCOPED_TRACE(recipe.name);
    fs::path source = MakeSource(recipe);
    const std::vector<std::vector<std::string>> patterns = CutPatterns(ReadSource(source), seed++);
    for (size_t i = 0; i <= patterns.size(); ++i) {
      // The first cuts once more with tags: an ID3v2 tag before each track's Info frame.
      const bool tags = i == patterns.size();
      const std::vector<std::string>& times = patterns[tags ? 0 : i];
      SCOPED_TRACE(Join(times) + (tags ? " --tags" : ""));
      Allowed allowed = CheckExactSplit(source, times, false, "", tags);
      EXPECT_TRUE(recipe.channels == 1 || allowed.rounding == 0) << "rounding only in mono";
      EXPECT_TRUE(Contains(recipe.name, "tagged") || allowed.smallTrack == 0);
      total.extraStart += allowed.extraStart;
      total.rounding += allowed.rounding;
      total.smallTrack += allowed.smallTrack;
    }
  }
  std::printf(
      "decoder limits met: %d tracks start early in ffmpeg, %d mono tracks rounded in "
      "mpg123, %d small tagged tracks untrimmed in ffmpeg\n",
      total.extraStart, total.rounding, total.smallTrack);
}

TEST(ExactSplit, ProbeReportsFramesDurationDelayAndPadding) {
  for (const SourceRecipe& recipe : kSources) {
    SCOPED_TRACE(recipe.name);
    fs::path source = MakeSource(recipe);
    SourceInfo info = ReadSource(source);
    Outcome o = Cli({"probe", source});
    ASSERT_EQ(o.exit, 0) << o;
    std::string expected = "Frames: " + std::to_string(info.frames) + "\nDuration: " +
                           TimeText((info.length * 100 + info.first.rate / 2) / info.first.rate);
    if (info.delayAndPadding) {
      expected += "\nEncoder Delay: " + std::to_string(info.delayAndPadding->first) +
                  "\nEncoder Padding: " + std::to_string(info.delayAndPadding->second);
    }
    EXPECT_TRUE(Contains(o.out, expected + "\n")) << o << "expected:\n" << expected;
    bool vbr = recipe.lame.empty() || std::count(recipe.lame.begin(), recipe.lame.end(), "-V") > 0;
    EXPECT_EQ(Contains(o.out, "Bit Rate: VBR\n"), vbr) << o;
  }
}

TEST(ExactSplit, EqualSegmentsAndAnFfmpegSource) {
  fs::path lavc = Made("lavc.mp3", [](const fs::path& path) {
    MustRun({"ffmpeg", "-v", "error", "-i", MakeWave("exact 44100-2.wav", 44100, 2), "-c:a",
             "libmp3lame", "-b:a", "160k", path});
  });
  CheckExactSplit(lavc, {"0:00", "0:00.70"}, true);
  CheckExactSplit(MakeSource(kSources[3]), {"0:00", "0:01.01"}, true);
}

// An album of three tracks of whole CD frames (588 samples at 44.1 kHz), encoded gapless as
// one file, with its CUE sheet: the tracks are the album's samples of each track.
TEST(ExactSplit, CueSheetAlbumCutsAtItsCdFrames) {
  fs::path album = Made("album.mp3", [](const fs::path& path) {
    fs::path wave = path.string() + ".wav";
    MustRun({"sox",    "-R",        "-n",     "-r",    "44100",  "-c",   "2",
             wave,     "synth",     "55272s", "sine",  "220",    ":",    "synth",
             "99960s", "pinknoise", ":",      "synth", "54684s", "sine", "880-440"});
    MustRun({"lame", "--quiet", "-V", "3", wave, path});
  });
  const std::string text =
      "FILE \"album.mp3\" MP3\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
      "  TRACK 02 AUDIO\r\n    INDEX 00 00:01:00\r\n    INDEX 01 00:01:19\r\n"
      "  TRACK 03 AUDIO\r\n    INDEX 01 00:03:39\r\n";
  fs::path cue = album.parent_path() / "album.cue";
  WriteBytes(cue, Bytes(text.begin(), text.end()));
  // Tracks of 94, 170 and 93 CD frames: 55272, 99960 and 54684 samples.
  for (bool tags : {false, true}) {
    Allowed allowed = CheckExactSplit(
        album, {"@0", "@" + std::to_string(94 * 588), "@" + std::to_string(264 * 588)}, false,
        cue.string(), tags);
    EXPECT_EQ(allowed.extraStart + allowed.rounding + allowed.smallTrack, 0);
  }
}

// ---------------------------------------------------------------------------------------
// mp3partwell join of exact tracks: consecutive tracks in order play the source's timeline
// over them; any other choice is joined whole, as any files are.

// The cuts of the split that the joins take their tracks from: tracks of a hundredth (less
// than a frame) at the start, in the middle and at the end, a cut at the start of a frame
// (or as near as a hundredth gets) and cuts inside frames.
std::vector<std::string> JoinCutTimes(const SourceInfo& info) {
  const int64_t rate = info.first.rate, spf = info.first.samples;
  const int64_t last = info.length * 100 / rate, mid = last / 2;
  auto intoFrame = [&](int64_t h) { return ((h * rate + 50) / 100 + info.rawStart) % spf; };
  int64_t edge = 20;
  for (int64_t h = 20; h < mid; ++h) {
    if (intoFrame(h) < intoFrame(edge)) edge = h;
  }
  std::vector<std::string> times;
  for (int64_t h : {int64_t{0}, int64_t{1}, int64_t{2}, edge, mid, mid + 1, mid + 3, last - 1}) {
    times.push_back(TimeText(h));
  }
  return times;
}

struct JoinRun {
  std::vector<size_t> tracks;  // of the split above, in join order
  bool timeline;               // consecutive in order: the join leaves out what they repeat
  bool chapters = false;
};

int64_t Milliseconds(int64_t samples, int64_t rate) { return (samples * 1000 + rate / 2) / rate; }

TEST(ExactSplit, ConsecutiveTracksJoinBackToTheTimeline) {
  const std::vector<JoinRun> runs = {
      {{0, 1}, true},       {{1, 2}, true},
      {{2, 3}, true},       {{3, 4}, true},
      {{4, 5}, true},       {{5, 6}, true},
      {{6, 7}, true},       {{0, 1, 2}, true},
      {{3, 4, 5, 6}, true}, {{0, 1, 2, 3, 4, 5, 6, 7}, true, true},
      {{0, 2}, false},      {{4, 3}, false},
      {{3, 5}, false},
  };
  Allowed total;
  for (size_t r = 0; r < kSources.size(); ++r) {
    const SourceRecipe& recipe = kSources[r];
    SCOPED_TRACE(recipe.name);
    const fs::path source = MakeSource(recipe);
    const SourceInfo info = ReadSource(source);
    // Every other source's tracks begin with an ID3v2 tag (and end with an ID3v1 trailer
    // when it has one).
    const SplitTracks split =
        RunExactSplit(source, info, JoinCutTimes(info), false, "", r % 2 == 1);
    const std::vector<Track>& tracks = split.tracks;
    ASSERT_EQ(tracks.size(), 8u);
    std::vector<std::string> commands;
    std::string mp3val = "mp3val";
    for (size_t j = 0; j < runs.size(); ++j) {
      const fs::path joined = split.folder / ("joined " + std::to_string(j) + ".mp3");
      std::vector<std::string> args = {"join", joined};
      for (size_t t : runs[j].tracks) args.push_back(tracks[t].path);
      if (runs[j].chapters) args.push_back("--chapters");
      Outcome o = Cli(args);
      ASSERT_EQ(o.exit, 0) << o;
      if (!runs[j].timeline) continue;
      for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
        commands.push_back(DecodeCommand(
            joined, decoder, false, split.folder / (std::to_string(j) + DecoderName(decoder))));
      }
      mp3val += " " + Quote(joined);
    }
    commands.push_back(mp3val + " >" + Quote((split.folder / "joins mp3val.txt").string()));
    RunTwoAtATime(commands, split.folder);
    const std::string mp3valText = ReadText(split.folder / "joins mp3val.txt");
    EXPECT_FALSE(Contains(mp3valText, "Wrong")) << mp3valText;

    for (size_t j = 0; j < runs.size(); ++j) {
      const JoinRun& run = runs[j];
      const Track& first = tracks[run.tracks.front()];
      const Track& last = tracks[run.tracks.back()];
      SCOPED_TRACE("tracks " + first.path.filename().string() + " to " +
                   last.path.filename().string());
      const fs::path joined = split.folder / ("joined " + std::to_string(j) + ".mp3");
      if (!run.timeline) {
        size_t frames = 0;
        for (size_t t : run.tracks) frames += WalkAudio(tracks[t].bytes).frames.size();
        EXPECT_EQ(WalkAudio(ReadBytes(joined)).frames.size(), frames) << "nothing left out";
        continue;
      }
      for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
        SCOPED_TRACE(DecoderName(decoder));
        const std::vector<int16_t> timeline = Slice(RawSource(source, decoder), info.rawStart,
                                                    info.rawStart + info.length, info.channels);
        Decoded got =
            ReadDecoded(split.folder / (std::to_string(j) + DecoderName(decoder)), decoder);
        JudgeDecoded(got, timeline, info, decoder, first.start, last.end, first.tag.delay, false,
                     total);
      }
      if (!run.chapters) continue;
      // Each track's chapter starts at its first sample, as ffprobe reads them (in ms).
      std::string want;
      for (size_t i = 0; i < run.tracks.size(); ++i) {
        const Track& track = tracks[run.tracks[i]];
        want += std::to_string(Milliseconds(track.start - first.start, info.first.rate)) + "," +
                std::to_string(Milliseconds(track.end - first.start, info.first.rate)) + "\n";
      }
      EXPECT_EQ(MustRun({"ffprobe", "-v", "error", "-show_entries", "chapter=start,end", "-of",
                         "csv=p=0", joined})
                    .out,
                want);
    }
  }
  std::printf(
      "decoder limits met: %d joins start early in ffmpeg, %d mono joins rounded in "
      "mpg123\n",
      total.extraStart, total.rounding);
}

// ---------------------------------------------------------------------------------------
// mp3partwell cut: the timeline less a set of ranges, trims at the ends sample-exact, frame
// seams inside.

// A range of hundredths; -1 for the end.
struct Cut {
  int64_t start;
  int64_t end;
};

std::string RangeText(const std::vector<Cut>& cuts) {
  std::string list;
  for (const Cut& cut : cuts) {
    list += (list.empty() ? "" : ",") + TimeText(cut.start) + "-" +
            (cut.end < 0 ? std::string("end") : TimeText(cut.end));
  }
  return list;
}

// What the file must play, as raw samples of the source: the timeline between the trims,
// less the whole frames nearest to each inner range. `afterSeam` gets the position in the
// output of each seam.
std::vector<int64_t> KeptRawSamples(const SourceInfo& info, std::vector<Cut> cuts,
                                    std::vector<int64_t>& afterSeam) {
  const int64_t rate = info.first.rate, spf = info.first.samples;
  auto sample = [&](int64_t h) { return h < 0 ? info.length : (h * rate + 50) / 100; };
  std::vector<bool> removedFrame(static_cast<size_t>(info.frames + 1), false);
  int64_t lo = info.rawStart, hi = info.rawStart + info.length;
  std::sort(cuts.begin(), cuts.end(), [](const Cut& a, const Cut& b) { return a.start < b.start; });
  std::vector<std::pair<int64_t, int64_t>> merged;
  for (const Cut& cut : cuts) {
    int64_t a = sample(cut.start), b = std::min(sample(cut.end), info.length);
    if (!merged.empty() && a <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, b);
    } else {
      merged.emplace_back(a, b);
    }
  }
  for (auto [a, b] : merged) {
    if (a == 0) {
      lo = info.rawStart + b;
    } else if (b == info.length) {
      hi = info.rawStart + a;
    } else {
      for (int64_t f = (a + info.rawStart + spf / 2) / spf; f < (b + info.rawStart + spf / 2) / spf;
           ++f) {
        removedFrame[static_cast<size_t>(f)] = true;
      }
    }
  }
  std::vector<int64_t> kept;
  for (int64_t r = lo; r < hi; ++r) {
    if (removedFrame[static_cast<size_t>(r / spf)]) continue;
    if (!kept.empty() && r != kept.back() + 1 && r % spf == 0) {
      afterSeam.push_back(static_cast<int64_t>(kept.size()));
    }
    kept.push_back(r);
  }
  return kept;
}

struct SeamCheck {
  int64_t outputs = 0;
  int64_t seams = 0;
  // In the first frame(s) after a seam: the largest difference and the mean one.
  int maxSeamDifference = 0;
  double seamDifferences = 0;
  int64_t seamValues = 0;
  int64_t rounded = 0;  // mpg123: values off by one after a seam changed its rounding phase
};

// Cuts `cuts` out of `source` and checks the file with both decoders, ffprobe and mp3val.
void CheckCut(const fs::path& source, const std::vector<Cut>& cuts, SeamCheck& check,
              bool keep = false) {
  const SourceInfo info = ReadSource(source);
  const bool trailer = HasId3v1(ReadBytes(source));
  fs::path folder = Workspace::NewFolder("cut");
  fs::path out = folder / "cut.mp3";
  Outcome o = Cli({"cut", source, keep ? "--keep" : "--remove", RangeText(cuts), "--output", out});
  ASSERT_EQ(o.exit, 0) << o;
  ASSERT_TRUE(Contains(o.out, "Track creation completed successfully.")) << o;
  std::vector<Cut> removed = cuts;
  if (keep) removed = {{0, cuts[0].start}, {cuts[0].end, -1}};
  std::vector<int64_t> seams;
  const std::vector<int64_t> kept = KeptRawSamples(info, removed, seams);
  // MPEG-2 and 2.5 frames hold one granule: the synthesis history of the second frame after
  // a seam still holds the overlap of the first.
  const int64_t spf = info.first.samples, differing = spf == 1152 ? spf : 2 * spf;

  Track track;
  track.path = out;
  track.bytes = ReadBytes(out);
  track.info = FrameOf(track.bytes, 0, WalkAudio(track.bytes).firstFrameBytes);
  track.tag = ReadInfoTag(track.bytes, track.info);
  CheckFrames(track, trailer);
  std::vector<std::string> commands;
  for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
    commands.push_back(DecodeCommand(out, decoder, false, folder / DecoderName(decoder)));
  }
  commands.push_back(
      "ffprobe -v error -f mp3 -show_entries format=duration -of "
      "default=nw=1:nk=1 " +
      Quote(out) + " >" + Quote((folder / "duration").string()));
  commands.push_back("mp3val " + Quote(out) + " >" + Quote((folder / "mp3val.txt").string()));
  RunTwoAtATime(commands, folder);
  const std::string mp3val = ReadText(folder / "mp3val.txt");
  std::istringstream lines(mp3val);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_FALSE(Contains(line, "WARNING") && !Contains(line, "No supported tags")) << mp3val;
  }
  const double duration = std::stod(ReadText(folder / "duration"));
  EXPECT_NEAR(duration, double(track.tag.frames) * spf / info.first.rate, 0.0005);
  ++check.outputs;
  check.seams += static_cast<int64_t>(seams.size());
  for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
    SCOPED_TRACE(DecoderName(decoder));
    const std::vector<int16_t>& raw = RawSource(source, decoder);
    Decoded got = ReadDecoded(folder / DecoderName(decoder), decoder);
    EXPECT_EQ(got.warnings, "");
    ASSERT_EQ(got.samples.size(), kept.size() * info.channels) << o;
    // mpg123's synthesis rounds by the count of 32-sample slots decoded so far: in mono, and
    // where an odd number of frames of 18 slots (MPEG-2 and 2.5) were left out, by one.
    const bool rounds =
        decoder == Decoder::kMpg123 && (info.channels == 1 || info.first.samples != 1152);
    int64_t wrong = 0;
    size_t seam = 0;
    for (int64_t i = 0; i < static_cast<int64_t>(kept.size()); ++i) {
      while (seam + 1 < seams.size() && i >= seams[seam + 1]) ++seam;
      const bool overlap = !seams.empty() && i >= seams[seam] && i < seams[seam] + differing;
      for (int c = 0; c < info.channels; ++c) {
        const int difference =
            std::abs(got.samples[i * info.channels + c] - raw[kept[i] * info.channels + c]);
        if (overlap) {
          check.maxSeamDifference = std::max(check.maxSeamDifference, difference);
          check.seamDifferences += difference;
          ++check.seamValues;
        } else if (difference > (rounds ? 1 : 0)) {
          ++wrong;
        } else {
          check.rounded += difference;
        }
      }
    }
    EXPECT_EQ(wrong, 0) << "samples that differ outside the first frames after the seams";
  }
}

TEST(Cut, FileDecodesToTheTimelineLessTheRemovedFrames) {
  SeamCheck check;
  for (const SourceRecipe& recipe : kSources) {
    SCOPED_TRACE(recipe.name);
    fs::path source = MakeSource(recipe);
    const SourceInfo info = ReadSource(source);
    const int64_t rate = info.first.rate, spf = info.first.samples;
    const int64_t last = info.length * 100 / rate, mid = last / 2;
    // A hundredth where a frame starts (within 8 samples).
    int64_t edge = 20;
    while (((edge * rate + 50) / 100 + info.rawStart) % spf >= 8 && edge < mid) ++edge;
    const std::vector<std::vector<Cut>> patterns = {
        {{edge, edge + 31}},                                           // at frame starts
        {{mid + 7, mid + 61}},                                         // mid-frame
        {{mid, mid + 1}, {mid + 20, mid + 22}, {mid + 40, mid + 43}},  // 1 to 3 hundredths
        {{0, 13}, {mid, mid + 17}, {last - 19, -1}},                   // trims at both ends
        {{0, 2}, {last - 1, -1}},                                      // tiny trims
        {{40, 80}, {80, 100}, {90, 120}},                              // touching and overlapping
        {{30, 45}, {60, 70}, {85, 97}, {110, 150}, {160, 171}, {180, 230}},  // many in a row
    };
    for (const std::vector<Cut>& cuts : patterns) {
      SCOPED_TRACE(RangeText(cuts));
      CheckCut(source, cuts, check);
    }
    SCOPED_TRACE("--keep");
    CheckCut(source, {{17, last - 23}}, check, true);
  }
  std::printf(
      "%lld files, %lld seams; the first frame(s) after a seam differ by up to %d, %.1f on "
      "average; %lld values elsewhere rounded by one in mpg123\n",
      static_cast<long long>(check.outputs), static_cast<long long>(check.seams),
      check.maxSeamDifference, check.seamDifferences / std::max<int64_t>(1, check.seamValues),
      static_cast<long long>(check.rounded));
}

TEST(Cut, RefusesRangesThatLeaveNothingOrLiePastTheEnd) {
  fs::path source = MakeSource(kSources[0]);
  fs::path folder = Workspace::NewFolder("cut refused");
  const struct {
    const char* ranges;
    const char* message;
  } kCases[] = {
      {"0:00-end", "cover the whole file"},
      {"0:00-0:02,0:01.50-end", "cover the whole file"},
      {"0:05-0:06", "after the end"},
  };
  for (const auto& c : kCases) {
    Outcome o = Cli({"cut", source, "--remove", c.ranges, "--output", folder / "out.mp3"});
    EXPECT_EQ(o.exit, 1) << o;
    EXPECT_TRUE(Contains(o.err, c.message)) << o;
    EXPECT_FALSE(fs::exists(folder / "out.mp3"));
  }
  Outcome o = Cli({"cut", source, "--remove", "0:01-0:02", "--output", source});
  EXPECT_EQ(o.exit, 1) << o;
  EXPECT_TRUE(Contains(o.err, "replace the source")) << o;
  EXPECT_EQ(Cli({"cut", source, "--remove", "0:02-0:01", "--output", folder / "x.mp3"}).exit, 2);
}

// A source of one frame, which neither decoder plays (mpg123 wants a second frame, ffmpeg
// cannot open it): its cut, and each track of its exact split, gets a silent frame after
// the kept one, and both decoders play the kept samples as they decode them in the whole
// encode the frame comes from (raw samples 529 on: the timeline of a file without a tag).
TEST(Cut, OneFrameSourcePlaysWithASilentFrameAfterIt) {
  for (const SourceRecipe& recipe : {kSources[0], kSources[2]}) {
    SCOPED_TRACE(recipe.name);
    const fs::path whole = MakeSource(recipe);
    const Bytes bytes = ReadBytes(whole);
    const WalkedFile walk = WalkMp3(bytes);
    ASSERT_GE(walk.frames.size(), 2u);
    fs::path folder = Workspace::NewFolder("cut one frame");
    const fs::path one = folder / "one.mp3";
    WriteBytes(one, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(walk.frames[0]),
                          bytes.begin() + static_cast<std::ptrdiff_t>(walk.frames[1])));
    ASSERT_EQ(Cli({"cut", one, "--remove", "0:00.01-end", "--output", folder / "cut.mp3"}).exit, 0);
    ASSERT_EQ(Cli({"split", one, "--exact", "--times", "0:00,0:00.01", "--folder", folder}).exit,
              0);
    const struct {
      const char* name;
      size_t from, to;  // raw samples of the whole encode
    } kFiles[] = {{"cut.mp3", 529, 970}, {"one - 01.mp3", 529, 970}, {"one - 02.mp3", 970, 1152}};
    for (const auto& file : kFiles) {
      SCOPED_TRACE(file.name);
      EXPECT_EQ(WalkMp3(ReadBytes(folder / file.name)).frames.size(), 2u);
      for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
        SCOPED_TRACE(DecoderName(decoder));
        const std::vector<int16_t> raw = Decode(whole, decoder, Trim::kRaw);
        ASSERT_GE(raw.size(), file.to * recipe.channels);
        EXPECT_TRUE(Decode(folder / file.name, decoder) ==
                    std::vector<int16_t>(raw.begin() + file.from * recipe.channels,
                                         raw.begin() + file.to * recipe.channels));
      }
    }
  }
}

// `split --exact --remove`: each track written is the cut of its own bounds less the ranges;
// a track wholly inside them is not written and the others are numbered as written.
TEST(Cut, SplitLeavesTheRangesOutOfTheTracks) {
  const std::vector<Cut> removed = {{40, 55}, {95, 185}};
  const std::vector<std::pair<int64_t, int64_t>> written = {{0, 100}, {180, 250}, {250, -1}};
  for (const SourceRecipe& recipe : {kSources[0], kSources[7], kSources[3]}) {
    SCOPED_TRACE(recipe.name);
    fs::path source = MakeSource(recipe);
    fs::path folder = Workspace::NewFolder("split less");
    Outcome o = Cli({"split", source, "--exact", "--times", "0:00,0:01,0:01.80,0:02.50", "--remove",
                     RangeText(removed), "--folder", folder});
    ASSERT_EQ(o.exit, 0) << o;
    CheckProgress(o, "Creating... [%03d]", written.size());
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
      files += entry.path().extension() == ".mp3";
    }
    EXPECT_EQ(files, written.size());
    for (size_t i = 0; i < written.size(); ++i) {
      std::vector<Cut> cuts = removed;
      if (written[i].first > 0) cuts.push_back({0, written[i].first});
      if (written[i].second >= 0) cuts.push_back({written[i].second, -1});
      fs::path cut = folder / ("cut " + std::to_string(i) + ".mp3");
      ASSERT_EQ(Cli({"cut", source, "--remove", RangeText(cuts), "--output", cut}).exit, 0);
      char name[64];
      std::snprintf(name, sizeof name, "%s - %02zu.mp3", source.stem().c_str(), i + 1);
      for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
        EXPECT_TRUE(Decode(folder / name, decoder) == Decode(cut, decoder))
            << name << " in " << DecoderName(decoder);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------
// mp3partwell cut --smooth: each inner range (merged with those whose frame seams touch it,
// as for frame seams) removes the whole frames' samples nearest to its length, centred on
// it, and the sound meets in a raised-cosine crossfade there, re-encoded.

int64_t FloorHalf(int64_t a) { return a >= 0 ? a / 2 : -((1 - a) / 2); }

// The ideal file: the timeline from `lo`, each splice (its first removed sample, in the
// timeline) removing `removed` samples.
struct Splice {
  int64_t at;
  int64_t removed;
};
struct SmoothCut {
  int64_t lo = 0, hi = 0;
  std::vector<Splice> splices;
  int64_t length() const {
    int64_t n = hi - lo;
    for (const Splice& s : splices) n -= s.removed;
    return n;
  }
};

SmoothCut ExpectSmooth(const SourceInfo& info, std::vector<Cut> cuts) {
  const int64_t rate = info.first.rate, spf = info.first.samples, off = info.rawStart;
  auto sample = [&](int64_t h) { return h < 0 ? info.length : (h * rate + 50) / 100; };
  std::sort(cuts.begin(), cuts.end(), [](const Cut& a, const Cut& b) { return a.start < b.start; });
  SmoothCut cut;
  cut.hi = info.length;
  struct Inner {
    int64_t a, b, first, end;
  };
  std::vector<Inner> inner;
  for (const Cut& c : cuts) {
    const int64_t a = sample(c.start), b = std::min(sample(c.end), info.length);
    if (a == 0) {
      cut.lo = std::max(cut.lo, b);
    } else if (b == info.length) {
      cut.hi = std::min(cut.hi, a);
    } else {
      Inner seam{a, b, (a + off + spf / 2) / spf, (b + off + spf / 2) / spf};
      if (seam.end <= seam.first) continue;
      if (!inner.empty() && seam.first <= inner.back().end) {
        inner.back().b = std::max(inner.back().b, b);
        inner.back().end = std::max(inner.back().end, seam.end);
      } else {
        inner.push_back(seam);
      }
    }
  }
  for (const Inner& seam : inner) {
    EXPECT_TRUE(seam.first * spf > cut.lo + off && seam.end * spf < cut.hi + off)
        << "the patterns keep their seams away from the trims";
    const int64_t length = seam.b - seam.a;
    const int64_t frames = std::max<int64_t>(1, (length + spf / 2) / spf);
    cut.splices.push_back({seam.a + FloorHalf(length - frames * spf), frames * spf});
  }
  return cut;
}

double Weight(int64_t fromCentre, int64_t crossfade) {
  const int64_t into = fromCentre + crossfade / 2;
  if (into < 0) return 0;
  if (into >= crossfade) return 1;
  return 0.5 - 0.5 * std::cos(M_PI * (double(into) + 0.5) / double(crossfade));
}

// The ideal file's samples from a decoder's timeline of the source; `centres` gets each
// splice's place in the file.
std::vector<double> IdealSmooth(const std::vector<int16_t>& timeline, const SmoothCut& cut,
                                int channels, int64_t crossfade, std::vector<int64_t>& centres) {
  const int64_t n = cut.length();
  std::vector<int64_t> shift = {cut.lo};
  for (const Splice& s : cut.splices) {
    centres.push_back(s.at - shift.back());
    shift.push_back(shift.back() + s.removed);
  }
  std::vector<double> out(static_cast<size_t>(n * channels));
  for (int64_t u = 0; u < n; ++u) {
    for (int c = 0; c < channels; ++c) {
      double value = timeline[(u + shift[0]) * channels + c];
      for (size_t i = 0; i < centres.size(); ++i) {
        const double w = Weight(u - centres[i], crossfade);
        if (w > 0) value = (1 - w) * value + w * timeline[(u + shift[i + 1]) * channels + c];
      }
      out[u * channels + c] = value;
    }
  }
  return out;
}

// Signal over noise in dB of `got` against `ideal` over file samples [from, to), `got`
// at the level that matches best: lame's settings for a constant bit rate scale its input
// down by a few percent, which is not noise.
template <class Samples>
double Snr(const Samples& got, const std::vector<double>& ideal, int64_t from, int64_t to,
           int channels) {
  double signal = 0, cross = 0, power = 0;
  const int64_t lo = std::max<int64_t>(0, from) * channels;
  const int64_t hi = std::min<int64_t>(to * channels, static_cast<int64_t>(ideal.size()));
  for (int64_t i = lo; i < hi; ++i) {
    signal += ideal[i] * ideal[i];
    cross += got[i] * ideal[i];
    power += double(got[i]) * got[i];
  }
  const double gain = power > 0 ? cross / power : 1;
  double noise = 0;
  for (int64_t i = lo; i < hi; ++i)
    noise += (gain * got[i] - ideal[i]) * (gain * got[i] - ideal[i]);
  return 10 * std::log10(signal / std::max(noise, 1e-9));
}

// lame's options for a stretch re-encoded alone at `kbps`, at the source's rate.
std::vector<std::string> ReferenceOptions(int kbps, const SourceInfo& info) {
  char khz[16];
  std::snprintf(khz, sizeof khz, "%g", info.first.rate / 1000.0);
  std::vector<std::string> options = {"--cbr", "-b", std::to_string(kbps), "--resample", khz};
  if (info.channels == 1) options.insert(options.end(), {"-m", "m"});
  return options;
}

// The ideal file's `from` to `to` re-encoded alone with lame and decoded by `decoder`.
std::vector<int16_t> ReencodedAlone(const std::vector<double>& ideal, int64_t from, int64_t to,
                                    int kbps, const SourceInfo& info, const fs::path& folder) {
  Bytes pcm;
  for (int64_t i = from * info.channels; i < to * info.channels; ++i) {
    const int v = static_cast<int>(std::lround(std::clamp(ideal[i], -32768.0, 32767.0)));
    pcm.push_back(static_cast<unsigned char>(v & 0xFF));
    pcm.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
  }
  const fs::path raw = folder / "alone.raw", wave = folder / "alone.wav";
  const fs::path mp3 = folder / "alone.mp3";
  WriteBytes(raw, pcm);
  MustRun({"sox", "-t", "raw", "-r", std::to_string(info.first.rate), "-e", "signed", "-b", "16",
           "-c", std::to_string(info.channels), raw.string(), wave.string()});
  std::vector<std::string> argv = {"lame", "--quiet"};
  const std::vector<std::string> options = ReferenceOptions(kbps, info);
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {wave.string(), mp3.string()});
  MustRun(argv);
  // mpg123 for every source: ffmpeg does not trim lame's delay at 8 kHz. Where lame writes
  // no tag that mpg123 believes, the delay is lame's 576 and the decoder's.
  std::vector<int16_t> decoded = Decode(mp3, Decoder::kMpg123);
  const size_t want = static_cast<size_t>((to - from) * info.channels);
  if (decoded.size() > want) {
    const auto start = decoded.begin() + (576 + kDecoderDelay) * info.channels;
    decoded = std::vector<int16_t>(start, start + static_cast<std::ptrdiff_t>(want));
  }
  return decoded;
}

// The file samples of each run of frames the program made (frames whose side information no
// frame of the source has), a frame wider on either side (two after in MPEG-2 and 2.5,
// whose frames hold one granule); `runs` gets each run's frames.
constexpr int kMpeg1Kbps[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kMpeg2Kbps[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};

struct MadeStretch {
  int64_t from, to;
  int kbps;  // the bit rate they were encoded at: the lowest of theirs (a repair may frame one
             // at a higher one)
};

std::vector<MadeStretch> MadeStretches(const std::vector<Bytes>& sources, const Bytes& file,
                                       std::vector<int64_t>& runs) {
  auto side = [](const Bytes& bytes, size_t at) {
    const unsigned char* p = &bytes[at];
    const bool mpeg1 = ((p[1] >> 3) & 3) == 3, mono = (p[3] >> 6) == 3;
    const size_t from = at + ((p[1] & 1) ? 4 : 6);
    const size_t length = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return std::string(bytes.begin() + from, bytes.begin() + from + length);
  };
  std::set<std::string> sourceSides;
  for (const Bytes& source : sources) {
    for (size_t at : WalkAudio(source).frames) sourceSides.insert(side(source, at));
  }
  const WalkedFile walked = WalkAudio(file);
  const Frame first = FrameOf(file, walked.firstFrame, walked.firstFrameBytes);
  const int64_t spf = first.samples, start = ReadInfoTag(file, first).delay + kDecoderDelay;
  const int64_t after = spf == 1152 ? 1 : 2;
  std::vector<MadeStretch> stretches;
  // The first audio frame may be a reservoir frame, before the file's first sample.
  for (size_t i = 1; i < walked.frames.size(); ++i) {
    if (sourceSides.count(side(file, walked.frames[i]))) continue;
    const int64_t frame = static_cast<int64_t>(i);
    const int kbps = static_cast<int>(FrameOf(file, walked.frames[i], 4).samples == 1152
                                          ? kMpeg1Kbps[file[walked.frames[i] + 2] >> 4]
                                          : kMpeg2Kbps[file[walked.frames[i] + 2] >> 4]);
    if (!stretches.empty() && stretches.back().to == (frame + after) * spf - start) {
      stretches.back().to += spf;
      stretches.back().kbps = std::min(stretches.back().kbps, kbps);
      ++runs.back();
    } else {
      stretches.push_back({(frame - 1) * spf - start, (frame + 1 + after) * spf - start, kbps});
      runs.push_back(1);
    }
  }
  return stretches;
}

struct SmoothCheck {
  int64_t seams = 0;
  int64_t farthest = 0;       // from a splice, of a sample that differs from the ideal file
  std::vector<int64_t> runs;  // frames the program made, one run for each span
  double worstMargin = 1e9;   // dB: the splice's SNR less the stretch re-encoded alone's
  double snr = 0, alone = 0;  // summed over seams, for the means
  double worst = 1e9;
};

// Checks the smooth file `out` (in `folder`) against the ideal splices `cut` of a timeline
// (the source's of `info`, as `timelineOf` a decoder gives it) whose frames are those of
// `sources`: both decoders play it without a warning, to the ideal file's length; it differs
// from the ideal file only in the frames made and the frames beside them; the splices' SNR
// is near that of the ideal file re-encoded alone.
void CheckSmoothFile(const fs::path& out, const std::vector<Bytes>& sources, const SourceInfo& info,
                     const SmoothCut& cut, int crossfadeMs,
                     const std::function<std::vector<int16_t>(Decoder)>& timelineOf,
                     const fs::path& folder, SmoothCheck& check) {
  const int64_t spf = info.first.samples, crossfade = crossfadeMs * info.first.rate / 1000;
  // What may differ: the frames the program made and the frames on either side.
  const std::vector<MadeStretch> made = MadeStretches(sources, ReadBytes(out), check.runs);
  const int ch = info.channels;
  std::vector<std::string> commands;
  for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
    commands.push_back(DecodeCommand(out, decoder, false, folder / DecoderName(decoder)));
  }
  commands.push_back("mp3val " + Quote(out) + " >" + Quote((folder / "mp3val.txt").string()));
  RunTwoAtATime(commands, folder);
  EXPECT_FALSE(Contains(ReadText(folder / "mp3val.txt"), "WARNING: MPEG stream error"));
  for (Decoder decoder : {Decoder::kFfmpeg, Decoder::kMpg123}) {
    SCOPED_TRACE(DecoderName(decoder));
    const std::vector<int16_t> timeline = timelineOf(decoder);
    std::vector<int64_t> centres;
    const std::vector<double> ideal = IdealSmooth(timeline, cut, ch, crossfade, centres);
    Decoded got = ReadDecoded(folder / DecoderName(decoder), decoder);
    EXPECT_EQ(got.warnings, "");
    ASSERT_EQ(static_cast<int64_t>(got.samples.size()), cut.length() * ch);
    const bool rounds = decoder == Decoder::kMpg123 && (ch == 1 || spf != 1152);
    int64_t wrong = 0;
    for (int64_t u = 0; u < cut.length(); ++u) {
      int64_t distance = INT64_MAX;
      for (int64_t c : centres) distance = std::min(distance, std::abs(u - c));
      for (int c = 0; c < ch; ++c) {
        const double difference = std::abs(got.samples[u * ch + c] - ideal[u * ch + c]);
        if (difference <= (rounds ? 1 : 0)) continue;
        bool inMade = false;
        for (const MadeStretch& m : made) inMade = inMade || (u >= m.from && u < m.to);
        if (!inMade) ++wrong;
        check.farthest = std::max(check.farthest, distance);
      }
    }
    EXPECT_EQ(wrong, 0) << "samples that differ away from the splices";
    for (int64_t centre : centres) {
      const int64_t from = centre - crossfade / 2 - spf, to = centre + crossfade / 2 + spf;
      const int64_t rate = info.first.rate;
      const int64_t lo = std::max<int64_t>(0, centre - rate / 2);
      const int64_t hi = std::min(cut.length(), centre + rate / 2);
      int kbps = 0;
      for (const MadeStretch& stretch : made) {
        if (centre >= stretch.from && centre < stretch.to) kbps = stretch.kbps;
      }
      ASSERT_GT(kbps, 0) << "a splice outside the frames made";
      const std::vector<int16_t> alone = ReencodedAlone(ideal, lo, hi, kbps, info, folder);
      ASSERT_EQ(static_cast<int64_t>(alone.size()), (hi - lo) * ch);
      const double snr = Snr(got.samples, ideal, from, to, ch);
      std::vector<double> shifted(ideal.begin() + lo * ch, ideal.begin() + hi * ch);
      const double reference = Snr(alone, shifted, from - lo, to - lo, ch);
      ++check.seams;
      check.snr += snr;
      check.alone += reference;
      check.worst = std::min(check.worst, snr);
      check.worstMargin = std::min(check.worstMargin, snr - reference);
      // Near the stretch re-encoded alone (the mean is the same; a pure tone at a low bit
      // rate loses most, under 10 dB), or past 40 dB.
      EXPECT_GT(snr, std::min(reference - 10, 40.0)) << "at file sample " << centre;
    }
  }
}

void PrintSmoothCheck(const SmoothCheck& check) {
  std::map<int64_t, int> runs;
  for (int64_t run : check.runs) ++runs[run];
  std::string spans;
  for (auto [frames, count] : runs) {
    spans += " " + std::to_string(count) + "x" + std::to_string(frames);
  }
  std::printf(
      "%lld splices: SNR against the ideal splice %.1f dB on average (worst %.1f), the "
      "stretch re-encoded alone %.1f dB; worst margin %.1f dB; differences reach %lld "
      "samples from a splice; spans of re-encoded frames (count x frames):%s\n",
      static_cast<long long>(check.seams), check.snr / std::max<int64_t>(1, check.seams),
      check.worst, check.alone / std::max<int64_t>(1, check.seams), check.worstMargin,
      static_cast<long long>(check.farthest), spans.c_str());
}

void CheckSmoothCut(const SourceRecipe& recipe, const std::vector<Cut>& cuts, int crossfadeMs,
                    SmoothCheck& check) {
  const fs::path source = MakeSource(recipe);
  const SourceInfo info = ReadSource(source);
  fs::path folder = Workspace::NewFolder("smooth");
  fs::path out = folder / "cut.mp3";
  Outcome o = Cli({"cut", source, "--remove", RangeText(cuts), "--output", out, "--smooth",
                   "--crossfade", std::to_string(crossfadeMs)});
  ASSERT_EQ(o.exit, 0) << o;
  CheckSmoothFile(
      out, {ReadBytes(source)}, info, ExpectSmooth(info, cuts), crossfadeMs,
      [&](Decoder decoder) {
        return Slice(RawSource(source, decoder), info.rawStart, info.rawStart + info.length,
                     info.channels);
      },
      folder, check);
}

TEST(Cut, SmoothSeamsSpliceAtTheSamples) {
  SmoothCheck check;
  for (const SourceRecipe& recipe : kSources) {
    SCOPED_TRACE(recipe.name);
    const SourceInfo info = ReadSource(MakeSource(recipe));
    const int64_t last = info.length * 100 / info.first.rate, mid = last / 2;
    const struct {
      std::vector<Cut> cuts;
      int crossfadeMs;
    } patterns[] = {
        {{{mid + 7, mid + 61}}, 5},                                 // one seam
        {{{mid, mid + 1}}, 0},                                      // under a frame, plain
        {{{40, 52}, {mid + 3, mid + 9}, {mid + 14, mid + 30}}, 5},  // two sharing a span
        {{{0, 13}, {mid, mid + 17}, {last - 19, -1}}, 20},          // with trims
        {{{30, 45}, {60, 70}, {85, 97}, {110, 150}, {160, 171}, {180, 230}}, 5},  // many
    };
    for (const auto& pattern : patterns) {
      SCOPED_TRACE(RangeText(pattern.cuts) + " crossfade " + std::to_string(pattern.crossfadeMs));
      CheckSmoothCut(recipe, pattern.cuts, pattern.crossfadeMs, check);
    }
  }
  PrintSmoothCheck(check);
}

// ---------------------------------------------------------------------------------------
// mp3partwell join --smooth: an album encoded track by track, joined without the padding
// and delay between its tracks. The ideal file is the smooth cut, at each junction, of the
// tracks' raw decodes (each track decoded alone) one after another.

struct AlbumTrack {
  std::string seconds;
  std::vector<std::string> synth;  // sox's
  std::vector<std::string> lame;
};
struct Album {
  const char* name;
  int rate, channels, crossfadeMs;
  std::vector<AlbumTrack> tracks;
};

fs::path MakeTrack(const Album& album, size_t index) {
  const AlbumTrack& track = album.tracks[index];
  const std::string name = std::string(album.name) + " " + std::to_string(index + 1);
  const fs::path wave = Made(name + ".wav", [&](const fs::path& path) {
    std::vector<std::string> argv = {"sox",
                                     "-R",
                                     "-n",
                                     "-r",
                                     std::to_string(album.rate),
                                     "-c",
                                     std::to_string(album.channels),
                                     path.string(),
                                     "synth",
                                     track.seconds};
    argv.insert(argv.end(), track.synth.begin(), track.synth.end());
    argv.insert(argv.end(), {"gain", "-6"});
    MustRun(argv);
  });
  return Made(name + ".mp3", [&](const fs::path& path) {
    std::vector<std::string> argv = {"lame", "--quiet"};
    argv.insert(argv.end(), track.lame.begin(), track.lame.end());
    argv.insert(argv.end(), {wave.string(), path.string()});
    MustRun(argv);
  });
}

TEST(Join, SmoothJoinsPlayTheAlbumWithoutGaps) {
  const Album albums[] = {
      {"album 44k",
       44100,
       2,
       5,
       {{"3.1234", {"sine", "440"}, {"-b", "128"}},
        {"2.7771", {"pinknoise"}, {"-V", "2"}},
        {"4.0101", {"sine", "300-3000"}, {"-b", "192"}},
        {"1.9003", {"whitenoise"}, {"-V", "5"}}}},
      {"album 48k",
       48000,
       2,
       0,
       {{"2.5013", {"pinknoise"}, {"-V", "4"}},
        {"3.3331", {"sine", "523"}, {"-b", "256"}},
        {"2.0007", {"sine", "100-5000"}, {"-V", "0"}}}},
      {"album mono",
       44100,
       1,
       20,
       {{"2.2222", {"sine", "200-2000"}, {"-b", "96", "-m", "m"}},
        {"3.0303", {"whitenoise"}, {"-V", "6", "-m", "m"}},
        {"2.7101", {"sine", "330"}, {"-b", "128", "-m", "m"}}}},
  };
  SmoothCheck check;
  for (const Album& album : albums) {
    SCOPED_TRACE(album.name);
    const fs::path folder = Workspace::NewFolder("smooth join");
    const fs::path out = folder / "album.mp3";
    std::vector<std::string> argv = {"join", out.string()};
    std::vector<fs::path> tracks;
    std::vector<SourceInfo> infos;
    std::vector<Bytes> sources;
    for (size_t i = 0; i < album.tracks.size(); ++i) {
      tracks.push_back(MakeTrack(album, i));
      infos.push_back(ReadSource(tracks.back()));
      sources.push_back(ReadBytes(tracks.back()));
      argv.push_back(tracks.back().string());
    }
    argv.insert(argv.end(),
                {"--smooth", "--crossfade", std::to_string(album.crossfadeMs), "--chapters"});
    Outcome o = Cli(argv);
    ASSERT_EQ(o.exit, 0) << o;
    // The tracks' frames one after another, on the timeline of the first: each junction
    // removes the whole frames nearest to the padding and delay there, centred on them.
    const int64_t spf = infos[0].first.samples, start = infos[0].rawStart;
    SmoothCut cut;
    int64_t frames = 0, albumLength = 0;
    // Each chapter starts where its track's first sample plays (`shift` from the album's), as
    // ffprobe reads them (in ms).
    std::string chapters;
    int64_t shift = 0;
    for (size_t i = 0; i < infos.size(); ++i) {
      if (i > 0) {
        const int64_t end = (frames - infos[i - 1].frames) * spf + infos[i - 1].rawStart +
                            infos[i - 1].length - start;
        const int64_t length = frames * spf + infos[i].rawStart - start - end;
        const int64_t removed = std::max<int64_t>(1, (length + spf / 2) / spf) * spf;
        cut.splices.push_back({end + FloorHalf(length - removed), removed});
        shift += length - removed;
      }
      chapters += std::to_string(Milliseconds(albumLength + shift, album.rate)) + "\n";
      frames += infos[i].frames;
      albumLength += infos[i].length;
    }
    cut.hi =
        (frames - infos.back().frames) * spf + infos.back().rawStart + infos.back().length - start;
    EXPECT_EQ(MustRun({"ffprobe", "-v", "error", "-show_entries", "chapter=start", "-of", "csv=p=0",
                       out.string()})
                  .out,
              chapters);
    EXPECT_LE(std::abs(cut.length() - albumLength),
              static_cast<int64_t>(infos.size() - 1) * spf / 2);
    CheckSmoothFile(
        out, sources, infos[0], cut, album.crossfadeMs,
        [&](Decoder decoder) {
          std::vector<int16_t> raw;
          for (size_t i = 0; i < tracks.size(); ++i) {
            const std::vector<int16_t>& track = RawSource(tracks[i], decoder);
            EXPECT_EQ(static_cast<int64_t>(track.size()), infos[i].frames * spf * album.channels);
            raw.insert(raw.end(), track.begin(), track.end());
          }
          return Slice(raw, start, start + cut.hi, album.channels);
        },
        folder, check);
  }
  PrintSmoothCheck(check);
}

}  // namespace
