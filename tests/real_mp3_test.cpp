// End-to-end tests of mp3partwell on real encoder output. Sources are made with sox, lame
// and ffmpeg in a temporary folder; the command-line program probes, splits and joins
// them, and every result is checked against what the source's own frames say it must be.
// The frames are read here with code of this file's own, not with the program's.
#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "mp3_walk.h"

namespace {

using namespace partwell::e2e;
using partwell::test::BitByBitCrc16;

constexpr char kSplitDone[] = "Track creation completed successfully.";
constexpr char kJoinDone[] = "Track joining completed successfully.";
constexpr char kSplitFileError[] =
    "There has been a file error while trying to create tracks.  Please try again.";
constexpr char kJoinFileError[] =
    "There has been a file error while trying to join tracks.  Please try again.";
constexpr char kDestinationIsSource[] =
    "The destination file is also one of the tracks to join.  Please choose another "
    "destination.";
constexpr char kVbrRefusal[] =
    "The MP3 you have selected to split cannot be used because it is a VBR (variable bit "
    "rate) file.  Please only use MP3s with fixed bit rates.";
constexpr char kLayer3Refusal[] =
    "The MP3 you have selected to split cannot be used because it is not an MPEG Layer III "
    "file.";
constexpr char kInvalidFile[] =
    "The file you chose was either invalid, corrupted, or could not be opened at this time.";
constexpr char kEqualNeedsOffset[] =
    "If you are splitting all into equal segments, you must enter at least one offset. "
    "'0:00.00' is just a marker, not an offset.";
constexpr char kInvalidName[] =
    "The destination name you gave contained invalid characters.  Please use another name.";

constexpr size_t kTrailerBytes = 128;
constexpr uint64_t k4GiB = uint64_t{1} << 32;

// ---------------------------------------------------------------------------------------
// Files

void WriteAt(int fd, uint64_t offset, const Bytes& bytes) {
  if (::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) !=
      static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("cannot write a sparse source");
  }
}

std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t to) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// ---------------------------------------------------------------------------------------
// Running programs

Outcome Split(const fs::path& source, const std::string& times, const fs::path& folder,
              std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"split", source, "--times", times, "--folder", folder};
  args.insert(args.end(), more.begin(), more.end());
  return Cli(args);
}

Outcome Join(const fs::path& destination, const std::vector<fs::path>& sources, int seconds = 60) {
  std::vector<std::string> args = {"join", destination};
  args.insert(args.end(), sources.begin(), sources.end());
  return Cli(args, seconds);
}

// ---------------------------------------------------------------------------------------
// MPEG audio frames, read the way a decoder reads them.

struct FrameHeader {
  bool mpeg1 = false;
  int layer = 0;
  int index = 0;
  int kbps = 0;
  int sampleRate = 0;
  bool mono = false;
  int bytes = 0;  // 0 for a free-format frame, whose length the header does not give
  int samples = 0;
};

std::optional<FrameHeader> ReadHeader(const unsigned char* p) {
  static const int kMpeg1Kbps[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                     112, 128, 160, 192, 224, 256, 320};
  static const int kMpeg2Kbps[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int kRates[3] = {44100, 48000, 32000};
  int version = (p[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  int layerBits = (p[1] >> 1) & 3;
  int rateIndex = (p[2] >> 2) & 3;
  FrameHeader h;
  h.index = p[2] >> 4;
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0 || version == 1 || layerBits == 0 || h.index == 15 ||
      rateIndex == 3) {
    return std::nullopt;
  }
  h.mpeg1 = version == 3;
  h.layer = 4 - layerBits;
  h.kbps = (h.mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[h.index];
  h.sampleRate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  h.mono = (p[3] >> 6) == 3;
  h.samples = h.mpeg1 ? 1152 : 576;
  int padding = (p[2] >> 1) & 1;
  if (h.layer == 3 && h.kbps > 0) h.bytes = h.samples / 8 * h.kbps * 1000 / h.sampleRate + padding;
  return h;
}

// Where an "Info" header, as lame and ffmpeg write it (or its "Xing" twin, as a join of
// several bit rates says), keeps the counts that describe the whole stream.
struct InfoFields {
  size_t frames = 0;       // frames after the Info frame, big-endian
  size_t bytes = 0;        // bytes from the Info frame's start to the end of the audio
  size_t musicLength = 0;  // the LAME extension's copy of that byte count
  size_t crc = 0;          // the LAME extension's CRC of the frame up to it
};

std::optional<InfoFields> FindInfoFields(const Bytes& frame) {
  std::optional<FrameHeader> h = frame.size() >= 4 ? ReadHeader(frame.data()) : std::nullopt;
  if (!h || h->layer != 3) return std::nullopt;
  size_t at = 4 + (h->mpeg1 ? (h->mono ? 17 : 32) : (h->mono ? 9 : 17));
  size_t lame = at + 8 + 4 + 4 + 100 + 4;  // "Info", flags, frames, bytes, TOC, quality
  if (frame.size() < lame + 36 ||
      (std::memcmp(&frame[at], "Info", 4) != 0 && std::memcmp(&frame[at], "Xing", 4) != 0) ||
      BigEndian32(&frame[at + 4]) != 0x0F ||
      BitByBitCrc16(frame.data(), lame + 34) != ((frame[lame + 34] << 8) | frame[lame + 35])) {
    return std::nullopt;
  }
  return InfoFields{at + 8, at + 12, lame + 28, lame + 34};
}

// What a source holds, found by walking its ID3v2 tags and its frames.
struct Stream {
  fs::path path;
  uint64_t size = 0;
  uint64_t firstFrame = 0;
  Bytes audio;                 // from the first frame to the end of audio
  Bytes trailer;               // the ID3v1 trailer; empty when there is none
  std::vector<size_t> frames;  // where each frame starts, counted from the first frame
  bool framesTileAudio = false;
  FrameHeader header;  // the first frame's

  uint64_t EndOfAudio() const { return firstFrame + audio.size(); }
  size_t FirstFrameBytes() const { return frames.size() > 1 ? frames[1] : audio.size(); }
  std::optional<InfoFields> Info() const {
    return FindInfoFields(Slice(audio, 0, FirstFrameBytes()));
  }
};

Stream LoadStream(const fs::path& path) {
  Stream s;
  s.path = path;
  s.size = fs::file_size(path);
  for (;;) {
    Bytes tag = ReadRange(path, s.firstFrame, 10);
    if (tag.size() < 10 || std::memcmp(tag.data(), "ID3", 3) != 0) break;
    uint64_t size =
        (uint64_t{tag[6]} << 21) | (uint64_t{tag[7]} << 14) | (uint64_t{tag[8]} << 7) | tag[9];
    s.firstFrame += 10 + size + ((tag[5] & 0x10) ? 10 : 0);
  }
  s.audio = ReadRange(path, s.firstFrame, static_cast<size_t>(s.size - s.firstFrame));
  if (s.audio.size() >= kTrailerBytes &&
      std::memcmp(&s.audio[s.audio.size() - kTrailerBytes], "TAG", 3) == 0) {
    s.trailer = Slice(s.audio, s.audio.size() - kTrailerBytes, s.audio.size());
    s.audio.resize(s.audio.size() - kTrailerBytes);
  }
  size_t at = 0;
  while (at + 4 <= s.audio.size()) {
    std::optional<FrameHeader> h = ReadHeader(&s.audio[at]);
    if (!h) break;
    if (s.frames.empty()) s.header = *h;
    s.frames.push_back(at);
    if (h->bytes == 0) break;
    at += static_cast<size_t>(h->bytes);
  }
  s.framesTileAudio = at == s.audio.size();
  return s;
}

// ---------------------------------------------------------------------------------------
// What a split must give: each track's bytes within the source's audio. A track copies
// kbps x 10 / 8 bytes per hundredth of a second, then runs on to the next frame.

struct Span {
  size_t start;
  size_t end;
};

std::vector<Span> ExpectedTracks(const Stream& s, const std::vector<int>& offsets, bool equal) {
  const size_t block = static_cast<size_t>(s.header.kbps * 10 / 8);
  const size_t end = s.audio.size();
  std::vector<Span> spans;
  for (size_t i = 0, start = 0;; ++i) {
    if (!equal && i + 1 >= offsets.size()) {
      spans.push_back({start, block > 0 ? end : start});
      return spans;
    }
    size_t target =
        start + block * static_cast<size_t>(equal ? offsets[1] : offsets[i + 1] - offsets[i]);
    if (block == 0 || target >= end) {  // the blocks reach the end of audio
      spans.push_back({start, std::min(target, end)});
      return spans;
    }
    auto next = std::lower_bound(s.frames.begin(), s.frames.end(), target);
    if (next == s.frames.end() || *next + 4 > end) {  // no frame begins after the blocks
      spans.push_back({start, end});
      return spans;
    }
    spans.push_back({start, *next});
    start = *next;
  }
}

std::string TrackName(const std::string& base, size_t number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, number > 99 ? "%03zu" : "%02zu", number);
  return base + " - " + digits + ".mp3";
}

std::string BaseName(const fs::path& source) {
  std::string name = source.filename();
  return name.substr(0, name.find('.'));
}

// Track 1 is the source's first span, but a first frame that holds an Info header must
// state track 1's own frame and byte counts; nothing else in it may change.
void CheckTrackOne(const Stream& s, const Bytes& body, const Span& span) {
  const size_t frameBytes = s.FirstFrameBytes();
  std::optional<InfoFields> info = s.Info();
  if (!info || span.end < frameBytes || body.size() < frameBytes) {
    EXPECT_TRUE(SameBytes(body, Slice(s.audio, span.start, span.end)));
    return;
  }
  EXPECT_TRUE(SameBytes(Slice(body, frameBytes, body.size()), Slice(s.audio, frameBytes, span.end)))
      << "after the Info frame";
  auto inField = [&](size_t i) {
    for (size_t field : {info->frames, info->bytes, info->musicLength}) {
      if (i >= field && i < field + 4) return true;
    }
    return i == info->crc || i == info->crc + 1;
  };
  for (size_t i = 0; i < frameBytes; ++i) {
    if (!inField(i) && body[i] != s.audio[i]) {
      ADD_FAILURE() << "byte " << i << " of the Info frame changed outside its counts";
      break;
    }
  }
  size_t frames = static_cast<size_t>(std::lower_bound(s.frames.begin(), s.frames.end(), span.end) -
                                      s.frames.begin());
  EXPECT_EQ(BigEndian32(&body[info->frames]), frames - 1) << "frames after the Info frame";
  EXPECT_EQ(BigEndian32(&body[info->bytes]), span.end) << "Info byte count";
  EXPECT_EQ(BigEndian32(&body[info->musicLength]), span.end) << "LAME music length";
  EXPECT_EQ((body[info->crc] << 8) | body[info->crc + 1], BitByBitCrc16(body.data(), info->crc))
      << "LAME tag CRC";
}

// Checks the tracks that a split wrote into `folder` against `spans`; returns each
// track less its trailer.
std::vector<Bytes> CheckTracks(const Stream& s, const fs::path& folder,
                               const std::vector<Span>& spans) {
  std::vector<std::string> expectedNames;
  for (size_t i = 1; i <= spans.size(); ++i)
    expectedNames.push_back(TrackName(BaseName(s.path), i));
  EXPECT_EQ(FileNames(folder), expectedNames);
  std::vector<Bytes> bodies;
  for (size_t i = 0; i < spans.size(); ++i) {
    SCOPED_TRACE("track " + std::to_string(i + 1));
    fs::path track = folder / expectedNames[i];
    if (!fs::exists(track)) {
      bodies.emplace_back();
      continue;
    }
    Bytes body = ReadBytes(track);
    if (!s.trailer.empty()) {
      EXPECT_TRUE(body.size() >= kTrailerBytes &&
                  SameBytes(Slice(body, body.size() - kTrailerBytes, body.size()), s.trailer))
          << "the track does not end with the source's trailer";
      body.resize(body.size() - std::min(body.size(), kTrailerBytes));
    }
    if (i == 0) {
      CheckTrackOne(s, body, spans[0]);
    } else {
      std::optional<FrameHeader> h = body.size() >= 4 ? ReadHeader(body.data()) : std::nullopt;
      EXPECT_TRUE(h && h->index == s.header.index) << "the track does not begin on a frame header "
                                                      "with the source's bit rate index";
      EXPECT_TRUE(SameBytes(body, Slice(s.audio, spans[i].start, spans[i].end)));
    }
    bodies.push_back(std::move(body));
  }
  return bodies;
}

std::vector<fs::path> TrackPaths(const Stream& s, const fs::path& folder, size_t count) {
  std::vector<fs::path> paths;
  for (size_t i = 1; i <= count; ++i) paths.push_back(folder / TrackName(BaseName(s.path), i));
  return paths;
}

// Joins the tracks and checks that the result is the source's audio again: the tracks less
// their trailers, where track 1's Info frame, when there is one, states the whole stream's
// numbers once more.
void CheckJoinGivesBack(const Stream& s, const fs::path& folder, const std::vector<Bytes>& bodies) {
  if (bodies.size() < 2) return;  // a join takes two sources at the least
  fs::path joined = folder / "joined.mp3";
  Outcome o = Join(joined, TrackPaths(s, folder, bodies.size()));
  ASSERT_EQ(o.exit, 0) << o;
  EXPECT_TRUE(Contains(o.out, kJoinDone)) << o;
  CheckProgress(o, "Joining... [%03zu]", bodies.size());
  Bytes result = ReadBytes(joined);
  std::optional<InfoFields> info = s.Info();
  const size_t frameBytes = info ? s.FirstFrameBytes() : 0;
  EXPECT_TRUE(SameBytes(Slice(result, std::min(frameBytes, result.size()), result.size()),
                        Slice(s.audio, frameBytes, s.audio.size())))
      << "the join does not give back the source's audio";
  if (!info || result.size() < frameBytes) return;
  EXPECT_EQ(BigEndian32(&result[info->frames]), s.frames.size() - 1)
      << "frames after the Info frame";
  EXPECT_EQ(BigEndian32(&result[info->bytes]), s.audio.size()) << "Info byte count";
  EXPECT_EQ(BigEndian32(&result[info->musicLength]), s.audio.size()) << "LAME music length";
  EXPECT_EQ((result[info->crc] << 8) | result[info->crc + 1],
            BitByBitCrc16(result.data(), info->crc))
      << "LAME tag CRC";
  fs::remove(joined);
}

// The frames of `body` (numbered from 0) whose main data begins before `body` does: they
// borrow bytes of the frames before a cut (the bit reservoir), which no cut made without
// re-encoding can carry along, and a decoder must fill them with silence.
std::vector<int> FramesBorrowingFromBeforeTheCut(const Bytes& body) {
  std::vector<int> borrowing;
  size_t mainData = 0;  // main data bytes of the frames so far
  size_t at = 0;
  for (int k = 0; at + 6 <= body.size(); ++k) {
    std::optional<FrameHeader> h = ReadHeader(&body[at]);
    if (!h || h->bytes == 0) break;
    size_t sideInfo = at + 4 + ((body[at + 1] & 1) ? 0 : 2);  // after the CRC, when there is one
    size_t mainDataBegin =
        h->mpeg1 ? (body[sideInfo] << 1 | body[sideInfo + 1] >> 7) : body[sideInfo];
    if (mainDataBegin > mainData) borrowing.push_back(k);
    mainData += static_cast<size_t>(h->bytes) - (sideInfo - at) -
                (h->mpeg1 ? (h->mono ? 17 : 32) : (h->mono ? 9 : 17));
    at += static_cast<size_t>(h->bytes);
  }
  return borrowing;
}

// The track decodes without a decoder's complaint, but for the frames that borrow from
// before the cut.
void CheckDecodes(const fs::path& track, const Bytes& body) {
  Outcome o = Run({"mpg123", "-t", "-vvv", track});
  EXPECT_EQ(o.exit, 0) << o;
  const std::vector<int> borrowing = FramesBorrowingFromBeforeTheCut(body);
  std::vector<std::string> lines;
  std::string line;
  for (char c : o.err + "\n") {
    if (c != '\n' && c != '\r') {
      line += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!line.empty()) {
      lines.push_back(line);
      line.clear();
    }
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    for (const char* trouble : {"error", "illegal", "bytes in input", "resync", "warning"}) {
      if (!Contains(lines[i], trouble)) continue;
      int broken = -1;
      bool explained = i + 1 < lines.size() &&
                       std::sscanf(lines[i + 1].c_str(), "note: broken frame %d", &broken) == 1 &&
                       std::count(borrowing.begin(), borrowing.end(), broken) > 0;
      EXPECT_TRUE(explained) << track << " does not decode cleanly: " << lines[i];
    }
  }
}

// The probe's lines as "name: value" pairs.
std::map<std::string, std::string> ProbeLines(const std::string& out) {
  std::map<std::string, std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    size_t colon = line.find(": ");
    if (colon != std::string::npos) lines[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return lines;
}

void CheckProbe(const Stream& s) {
  Outcome o = Cli({"probe", s.path});
  ASSERT_EQ(o.exit, 0) << o;
  std::map<std::string, std::string> lines = ProbeLines(o.out);
  EXPECT_EQ(lines["Bit Rate"], std::to_string(s.header.kbps) + " kbps") << o;
  EXPECT_EQ(lines["Bit Rate Index"], std::to_string(s.header.index)) << o;
  EXPECT_EQ(lines["First Frame"], std::to_string(s.firstFrame)) << o;
  EXPECT_EQ(lines["Trailer"], s.trailer.empty() ? "no" : "yes") << o;
  EXPECT_EQ(lines["End Of Audio"], std::to_string(s.EndOfAudio())) << o;
}

// Splits `s` at `offsets` (hundredths, as the program orders them) given as `times`, and
// checks every track; returns each track less its trailer.
std::vector<Bytes> SplitAndCheck(const Stream& s, const std::string& times,
                                 const std::vector<int>& offsets, bool equal,
                                 const fs::path& folder) {
  Outcome o = Split(s.path, times, folder,
                    equal ? std::vector<std::string>{"--equal"} : std::vector<std::string>{});
  EXPECT_EQ(o.exit, 0) << o;
  EXPECT_TRUE(Contains(o.out, kSplitDone)) << o;
  std::vector<Span> spans = ExpectedTracks(s, offsets, equal);
  CheckProgress(o, "Creating... [%03zu]", spans.size());
  return CheckTracks(s, folder, spans);
}

// ---------------------------------------------------------------------------------------
// The sources: made once per test process, when a test first asks for them.

enum class Tags { kNone, kId3v1, kId3v2Utf16, kBoth };
constexpr Tags kAllTags[] = {Tags::kNone, Tags::kId3v1, Tags::kId3v2Utf16, Tags::kBoth};

struct Encoding {
  const char* name;
  int sampleRate;
  int channels;
  int kbps;
  int index;
  bool info;  // lame writes an Info header into the first frame
};

constexpr Encoding kMpeg1At128 = {"mpeg1-128", 44100, 2, 128, 9, true};
constexpr Encoding kMpeg1At320 = {"mpeg1-320-mono", 44100, 1, 320, 14, true};
constexpr Encoding kMpeg2At64 = {"mpeg2-64-mono", 22050, 1, 64, 8, true};
// 72-byte frames leave no room for an Info header.
constexpr Encoding kMpeg25At8 = {"mpeg25-8", 8000, 1, 8, 1, false};
constexpr Encoding kEncodings[] = {kMpeg1At128, kMpeg1At320, kMpeg2At64, kMpeg25At8};

constexpr int kSeconds = 12;
// Four tracks of 3.5, 3.75, 2.75 and the rest of 12 seconds.
constexpr char kFourTrackTimes[] = "0:00,0:03.50,0:07.25,0:10";
const std::vector<int> kFourTrackOffsets = {0, 350, 725, 1000};

std::string TagsName(Tags tags) {
  switch (tags) {
    case Tags::kNone:
      return "untagged";
    case Tags::kId3v1:
      return "id3v1";
    case Tags::kId3v2Utf16:
      return "id3v2-utf16";
    case Tags::kBoth:
      return "id3v1-id3v2";
  }
  return "";
}

std::vector<std::string> TagArguments(Tags tags) {
  switch (tags) {
    case Tags::kNone:
      return {};
    case Tags::kId3v1:
      return {"--id3v1-only", "--tt", "Morning Take", "--ta", "Partwell Trio"};
    case Tags::kId3v2Utf16:
      return {"--id3v2-only", "--id3v2-utf16", "--tt", "Ünïcödé Mörgen", "--ta", "Ärtist"};
    case Tags::kBoth:
      return {"--add-id3v2", "--tt", "Evening Take", "--ta", "Partwell Trio"};
  }
  return {};
}

fs::path Wave(int sampleRate, int channels) {
  std::string name =
      "sweep-" + std::to_string(sampleRate) + "-" + std::to_string(channels) + ".wav";
  return Made(name, [&](const fs::path& path) {
    MustRun({"sox", "-R", "-n", "-r", std::to_string(sampleRate), "-c", std::to_string(channels),
             path, "synth", std::to_string(kSeconds), "sine", "220-1760", "sine", "330-2640"});
  });
}

fs::path Lame(const std::string& name, const Encoding& e, std::vector<std::string> options) {
  return Made(name, [&](const fs::path& path) {
    std::vector<std::string> argv = {"lame", "--quiet", "-m", e.channels == 1 ? "m" : "j"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(Wave(e.sampleRate, e.channels));
    argv.push_back(path);
    MustRun(argv);
  });
}

fs::path CbrSource(const Encoding& e, Tags tags) {
  std::vector<std::string> options = {"--cbr", "-b", std::to_string(e.kbps)};
  for (const std::string& arg : TagArguments(tags)) options.push_back(arg);
  return Lame(std::string(e.name) + "-" + TagsName(tags) + ".mp3", e, options);
}

fs::path FreeFormatSource(Tags tags) {
  std::vector<std::string> options = {"--freeformat", "-b", "128"};
  for (const std::string& arg : TagArguments(tags)) options.push_back(arg);
  return Lame("free-format-" + TagsName(tags) + ".mp3", kMpeg1At128, options);
}

// A source that a split must take, as its maker is known to write it.
struct Accepted {
  std::string name;
  std::function<fs::path()> make;
  int kbps;
  int index;
  bool id3v2;
  bool trailer;
  bool info;
};

std::vector<Accepted> AcceptedSources() {
  std::vector<Accepted> sources;
  for (const Encoding& e : kEncodings) {
    for (Tags tags : kAllTags) {
      sources.push_back({std::string(e.name) + " " + TagsName(tags),
                         [e, tags] { return CbrSource(e, tags); }, e.kbps, e.index,
                         tags == Tags::kId3v2Utf16 || tags == Tags::kBoth,
                         tags == Tags::kId3v1 || tags == Tags::kBoth, e.info});
    }
  }
  // The scan for a VBR marker starts after the tags: a title may say what it likes.
  sources.push_back({"mpeg1-128 id3v2 titled Xing VBRI",
                     [] {
                       return Lame("titled-xing.mp3", kMpeg1At128,
                                   {"--cbr", "-b", "128", "--id3v2-only", "--tt", "Xing VBRI"});
                     },
                     128, 9, true, false, true});
  // ffmpeg writes an ID3v2.4 tag in UTF-8 and an Info header of its own.
  sources.push_back({"ffmpeg mpeg1-128 id3v2.4",
                     [] {
                       return Made("ffmpeg-128.mp3", [](const fs::path& path) {
                         MustRun({"ffmpeg", "-v", "error", "-i", Wave(44100, 2), "-c:a",
                                  "libmp3lame", "-b:a", "128k", "-metadata", "title=Ünïcödé",
                                  "-metadata", "artist=Ärtist", path});
                       });
                     },
                     128, 9, true, false, true});
  return sources;
}

Accepted AcceptedSource(const std::string& name) {
  for (const Accepted& source : AcceptedSources()) {
    if (source.name == name) return source;
  }
  throw std::invalid_argument("no source " + name);
}

Stream Load(const Accepted& a) {
  Stream s = LoadStream(a.make());
  EXPECT_TRUE(s.framesTileAudio) << "the frames do not run from the first to the end of audio";
  EXPECT_EQ(s.header.kbps, a.kbps);
  EXPECT_EQ(s.header.index, a.index);
  EXPECT_EQ(s.firstFrame > 0, a.id3v2);
  EXPECT_EQ(!s.trailer.empty(), a.trailer);
  EXPECT_EQ(s.Info().has_value(), a.info);
  return s;
}

// ---------------------------------------------------------------------------------------
// Accepted sources

TEST(RealMp3, ConstantBitRateSourcesSplitIntoTracksThatJoinBack) {
  for (const Accepted& source : AcceptedSources()) {
    SCOPED_TRACE(source.name);
    Stream s = Load(source);
    CheckProbe(s);
    fs::path folder = Workspace::NewFolder("tracks");
    std::vector<Bytes> bodies = SplitAndCheck(s, kFourTrackTimes, kFourTrackOffsets, false, folder);
    EXPECT_EQ(bodies.size(), 4u);
    std::vector<fs::path> tracks = TrackPaths(s, folder, bodies.size());
    for (size_t i = 0; i < bodies.size(); ++i) CheckDecodes(tracks[i], bodies[i]);
    CheckJoinGivesBack(s, folder, bodies);
  }
}

TEST(RealMp3, TimeListsAndEqualSegmentsCutWhereTheFramesSay) {
  struct Case {
    const char* what;
    const char* times;
    bool equal;
    std::vector<int> offsets;  // the list the program makes of the times
    size_t tracks;             // 0: as many as the source's frames make
  };
  const Case cases[] = {
      {"zero marker added, duplicate dropped, order kept by time",
       "0:07.25,0:03.50,0:03.50",
       false,
       {0, 350, 725},
       3},
      {"a single time gives the whole audio", "0:00", false, {0}, 1},
      {"times past the end make no tracks", "0:05,0:30,1:00", false, {0, 500, 3000, 6000}, 2},
      {"equal segments of 5 seconds", "0:00,0:05", true, {0, 500}, 3},
      {"equal segments go on beyond the list", "0:02.50", true, {0, 250}, 5},
      {"equal segments as long as the first offset", "0:05,0:07", true, {0, 500, 700}, 3},
      {"an equal segment longer than the audio", "0:00,1:00", true, {0, 6000}, 1},
      {"a first track of one hundredth", "0:00.01", false, {0, 1}, 2},
      {"the largest time", "999:59.99", false, {0, 5999999}, 1},
      {"the largest equal segment", "999:59.99", true, {0, 5999999}, 1},
      {"a track whose blocks end past the last frame runs to the end", "0:02", true, {0, 200}, 0},
  };
  for (const char* name : {"mpeg1-128 id3v1-id3v2", "mpeg25-8 id3v1"}) {
    Stream s = Load(AcceptedSource(name));
    for (const Case& c : cases) {
      SCOPED_TRACE(s.path.filename().string() + ": " + c.what);
      fs::path folder = Workspace::NewFolder("tracks");
      if (c.tracks > 0) {
        EXPECT_EQ(ExpectedTracks(s, c.offsets, c.equal).size(), c.tracks);
      }
      std::vector<Bytes> bodies = SplitAndCheck(s, c.times, c.offsets, c.equal, folder);
      CheckJoinGivesBack(s, folder, bodies);
    }
  }
}

// Track 1 states its own length: a player must not show the whole source's.
TEST(RealMp3, TrackOneInfoHeaderGivesTrackOnesDuration) {
  auto reported = [](const fs::path& file) {
    return std::stod(MustRun({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                              "csv=p=0", file})
                         .out);
  };
  auto decoded = [](const fs::path& file, int sampleRate) {
    fs::path raw = Workspace::Root() / "decoded.raw";
    MustRun({"mpg123", "-q", "--no-gapless", "-m", "-O", raw, file});
    double seconds = static_cast<double>(fs::file_size(raw)) / 2 / sampleRate;
    fs::remove(raw);
    return seconds;
  };
  for (const Accepted& source : AcceptedSources()) {
    if (!source.info) continue;
    SCOPED_TRACE(source.name);
    Stream s = Load(source);
    const int rate = s.header.sampleRate;
    const double frame = static_cast<double>(s.header.samples) / rate;
    ASSERT_NEAR(reported(s.path), decoded(s.path, rate), frame)
        << "ffprobe and mpg123 disagree on the source itself";
    fs::path folder = Workspace::NewFolder("tracks");
    Outcome o = Split(s.path, kFourTrackTimes, folder);
    ASSERT_EQ(o.exit, 0) << o;
    fs::path one = TrackPaths(s, folder, 1)[0];
    EXPECT_NEAR(reported(one), decoded(one, rate), frame);
  }
}

// A free-format stream is taken at 0 kbps: its blocks hold no bytes, so the one track
// holds nothing but the trailer.
TEST(RealMp3, FreeFormatSourceGivesOneTrackOfOnlyTheTrailer) {
  for (Tags tags : {Tags::kNone, Tags::kId3v1}) {
    SCOPED_TRACE(TagsName(tags));
    Stream s = LoadStream(FreeFormatSource(tags));
    ASSERT_EQ(s.header.index, 0) << "lame did not write a free-format stream";
    CheckProbe(s);
    fs::path folder = Workspace::NewFolder("tracks");
    Outcome o = Split(s.path, "0:00,0:05", folder);
    EXPECT_EQ(o.exit, 0) << o;
    EXPECT_TRUE(Contains(o.out, kSplitDone)) << o;
    ASSERT_EQ(FileNames(folder), std::vector<std::string>{TrackName(BaseName(s.path), 1)});
    EXPECT_TRUE(SameBytes(ReadBytes(TrackPaths(s, folder, 1)[0]), s.trailer));
  }
}

// ---------------------------------------------------------------------------------------
// Refused sources and refused jobs

TEST(RealMp3, RefusedSourcesNameTheReasonAndWriteNothing) {
  struct Case {
    const char* what;
    std::function<fs::path()> make;
    const char* message;
  };
  const Case cases[] = {
      {"VBR (Xing header)",
       [] {
         return Lame("vbr.mp3", kMpeg1At128, {"-V", "4"});
       },
       kVbrRefusal},
      {"VBR after a UTF-16 ID3v2 tag",
       [] {
         return Lame("vbr-id3v2-utf16.mp3", kMpeg1At128,
                     {"-V", "4", "--id3v2-only", "--id3v2-utf16", "--tt", "Ünïcödé"});
       },
       kVbrRefusal},
      {"VBRI header",
       [] {
         return Made("vbri.mp3", [](const fs::path& path) {
           Bytes bytes = ReadBytes(Lame("no-info.mp3", kMpeg1At128, {"--cbr", "-b", "128", "-t"}));
           std::memcpy(&bytes[4 + 32], "VBRI", 4);
           WriteBytes(path, bytes);
         });
       },
       kVbrRefusal},
      {"Layer II",
       [] {
         return Made("layer2.mp3", [](const fs::path& path) {
           MustRun({"ffmpeg", "-v", "error", "-i", Wave(44100, 2), "-c:a", "mp2", "-b:a", "192k",
                    "-f", "mp2", path});
         });
       },
       kLayer3Refusal},
      {"empty file",
       [] { return Made("empty.mp3", [](const fs::path& path) { WriteBytes(path, {}); }); },
       kInvalidFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path source = c.make();
    Outcome probe = Cli({"probe", source});
    if (c.message == kVbrRefusal) {  // the probe reports what only the exact split takes
      EXPECT_EQ(probe.exit, 0) << probe;
      EXPECT_TRUE(Contains(probe.out, "Bit Rate: VBR\n")) << probe;
    } else {
      EXPECT_EQ(probe.exit, 1) << probe;
      EXPECT_TRUE(Contains(probe.err, c.message)) << probe;
      EXPECT_EQ(probe.out, "");
    }
    fs::path folder = Workspace::NewFolder("tracks");
    Outcome split = Split(source, "0:00,0:05", folder);
    EXPECT_EQ(split.exit, 1) << split;
    EXPECT_TRUE(Contains(split.err, c.message)) << split;
    EXPECT_TRUE(FileNames(folder).empty());
  }
}

TEST(RealMp3, SplitChecksRefuseTheJobBeforeWriting) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int exit;
    const char* message;
  };
  const Case cases[] = {
      {"equal segments without an offset", {"--times", "0:00", "--equal"}, 1, kEqualNeedsOffset},
      {"a template with a slash", {"--times", "0:00,0:05", "--name", "a/%track%"}, 1, kInvalidName},
      {"a negative time", {"--times", "-1:00"}, 2, "-1:00"},
      {"a negative time after others", {"--times", "0:00,0:05,-1:00"}, 2, "-1:00"},
      {"a plus sign", {"--times", "+1:00"}, 2, "+1:00"},
      {"negative seconds", {"--times", "1:-05"}, 2, "1:-05"},
      {"negative hundredths", {"--times", "1:05.-5"}, 2, "1:05.-5"},
      {"a sign after spaces", {"--times", "0:00, -1:00"}, 2, "-1:00"},
  };
  fs::path source = CbrSource(kMpeg1At128, Tags::kNone);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path folder = Workspace::NewFolder("tracks");
    std::vector<std::string> args = {"split", source, "--folder", folder};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Outcome o = Cli(args);
    EXPECT_EQ(o.exit, c.exit) << o;
    EXPECT_TRUE(Contains(o.err, c.message)) << o;
    EXPECT_TRUE(FileNames(folder).empty());
  }
}

// A copy of a real source in a folder of its own, for tests that might harm it.
fs::path CopyOfSource(const Encoding& e, Tags tags, const fs::path& folder,
                      const std::string& name) {
  fs::path copy = folder / name;
  fs::copy_file(CbrSource(e, tags), copy);
  return copy;
}

TEST(RealMp3, JoinRefusesADestinationThatIsOneOfItsSources) {
  struct Case {
    const char* what;
    std::function<fs::path(const fs::path& folder)> destination;  // made from a.mp3, b.mp3
    std::vector<std::string> sources;
  };
  const Case cases[] = {
      {"the first source", [](const fs::path& f) { return f / "a.mp3"; }, {"a.mp3", "b.mp3"}},
      {"the last source", [](const fs::path& f) { return f / "b.mp3"; }, {"a.mp3", "b.mp3"}},
      {"another spelling of a source",
       [](const fs::path& f) { return f / "." / "b.mp3"; },
       {"a.mp3", "b.mp3"}},
      {"a hard link to a source",
       [](const fs::path& f) {
         fs::create_hard_link(f / "a.mp3", f / "hard.mp3");
         return f / "hard.mp3";
       },
       {"a.mp3", "b.mp3"}},
      {"a symbolic link to a source",
       [](const fs::path& f) {
         fs::create_symlink("b.mp3", f / "link.mp3");
         return f / "link.mp3";
       },
       {"a.mp3", "b.mp3"}},
      {"the file a source links to",
       [](const fs::path& f) {
         fs::create_symlink("a.mp3", f / "link.mp3");
         return f / "a.mp3";
       },
       {"link.mp3", "b.mp3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path folder = Workspace::NewFolder("join");
    CopyOfSource(kMpeg1At128, Tags::kId3v1, folder, "a.mp3");
    CopyOfSource(kMpeg2At64, Tags::kBoth, folder, "b.mp3");
    const Bytes a = ReadBytes(folder / "a.mp3");
    const Bytes b = ReadBytes(folder / "b.mp3");
    const std::vector<std::string> before = FileNames(folder);
    fs::path destination = c.destination(folder);
    std::vector<fs::path> sources;
    for (const std::string& name : c.sources) sources.push_back(folder / name);
    Outcome o = Join(destination, sources);
    EXPECT_EQ(o.exit, 1) << o;
    EXPECT_TRUE(Contains(o.err, kDestinationIsSource)) << o;
    EXPECT_TRUE(SameBytes(ReadBytes(folder / "a.mp3"), a)) << "a.mp3 changed";
    EXPECT_TRUE(SameBytes(ReadBytes(folder / "b.mp3"), b)) << "b.mp3 changed";
  }
}

TEST(RealMp3, SplitNeverWritesOverItsSource) {
  struct Case {
    const char* what;
    std::vector<std::string> options;
    std::function<void(const fs::path& source, const fs::path& other)> prepare;
    std::vector<std::string> tracksLeft;  // in the other folder
  };
  const Case cases[] = {
      {"template %file% in the source's folder", {"--name", "%file%"}, nullptr, {}},
      {"track 1 is a symbolic link to the source",
       {"--name", "t%track%", "--folder", "other"},
       [](const fs::path& source, const fs::path& other) {
         fs::create_symlink(source, other / "t01.mp3");
       },
       {"t01.mp3"}},
      {"track 2 is a hard link to the source",
       {"--name", "t%track%", "--folder", "other"},
       [](const fs::path& source, const fs::path& other) {
         fs::create_hard_link(source, other / "t02.mp3");
       },
       {"t01.mp3", "t02.mp3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path folder = Workspace::NewFolder("own source");
    fs::path source = CopyOfSource(kMpeg1At128, Tags::kId3v1, folder, "x.mp3");
    fs::path other = folder / "other";
    fs::create_directory(other);
    const Bytes before = ReadBytes(source);
    if (c.prepare) c.prepare(source, other);
    std::vector<std::string> args = {"split", source, "--times", "0:00,0:05"};
    for (const std::string& option : c.options)
      args.push_back(option == "other" ? other.string() : option);
    Outcome o = Cli(args);
    EXPECT_EQ(o.exit, 1) << o;
    EXPECT_TRUE(Contains(o.err, kSplitFileError)) << o;
    EXPECT_TRUE(SameBytes(ReadBytes(source), before)) << "the source changed";
    EXPECT_EQ(FileNames(folder), (std::vector<std::string>{"other", "x.mp3"}));
    EXPECT_EQ(FileNames(other), c.tracksLeft);
  }
}

TEST(RealMp3, JoinCopiesSourcesShorterThanATrailerWhole) {
  auto tagged = [](size_t size, const char* marker) {
    Bytes bytes(size, 0x55);
    std::memcpy(bytes.data(), marker, 3);
    return bytes;
  };
  struct Case {
    const char* what;
    Bytes source;
    size_t contributes;  // its first bytes that the join copies
  };
  const Case cases[] = {
      {"an empty file", {}, 0},
      {"100 bytes", Bytes(100, 0xAB), 100},
      {"127 bytes that begin with TAG", tagged(127, "TAG"), 127},
      {"128 bytes that are a trailer", tagged(128, "TAG"), 0},
      {"128 bytes that begin with tag", tagged(128, "tag"), 128},
  };
  fs::path first = CbrSource(kMpeg25At8, Tags::kId3v1);
  fs::path last = CbrSource(kMpeg25At8, Tags::kNone);
  Bytes expectedAround = ReadBytes(first);
  expectedAround.resize(expectedAround.size() - kTrailerBytes);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path folder = Workspace::NewFolder("join");
    WriteBytes(folder / "short.mp3", c.source);
    Outcome o = Join(folder / "joined.mp3", {first, folder / "short.mp3", last});
    EXPECT_EQ(o.exit, 0) << o;
    EXPECT_TRUE(Contains(o.out, kJoinDone)) << o;
    Bytes expected = expectedAround;
    Append(expected, Slice(c.source, 0, c.contributes));
    Append(expected, ReadBytes(last));
    EXPECT_TRUE(SameBytes(ReadBytes(folder / "joined.mp3"), expected));
  }
}

// Every file and folder below `folder`, as paths relative to it, sorted.
std::vector<std::string> FileTree(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    names.push_back(entry.path().lexically_relative(folder));
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RealMp3, TrackNamesFollowTheTemplate) {
  struct Case {
    const char* what;
    const char* source;
    std::vector<std::string> options;
    std::vector<std::string> tree;  // the source's folder afterwards, the source left out
  };
  const Case cases[] = {
      {"the default, beside the source; the base name ends at the first dot",
       "live.at.club.mp3",
       {},
       {"live - 01.mp3", "live - 02.mp3", "live - 03.mp3"}},
      {"a relative folder",
       "show.mp3",
       {"--folder", "out"},
       {"out", "out/show - 01.mp3", "out/show - 02.mp3", "out/show - 03.mp3"}},
      {"the number first",
       "show.mp3",
       {"--name", "%track% %file%"},
       {"01 show.mp3", "02 show.mp3", "03 show.mp3"}},
      {"a second %track% stays as it is",
       "show.mp3",
       {"--name", "%track%-%track%"},
       {"01-%track%.mp3", "02-%track%.mp3", "03-%track%.mp3"}},
      {"no artist or title without a CUE sheet",
       "show.mp3",
       {"--name", "%artist%%file%%title% %track%"},
       {"show 01.mp3", "show 02.mp3", "show 03.mp3"}},
      {"without %track% each track replaces the one before",
       "show.mp3",
       {"--name", "%file%.mp3"},
       {"show.mp3.mp3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path folder = Workspace::NewFolder("names");
    fs::copy_file(CbrSource(kMpeg25At8, Tags::kId3v1), folder / c.source);
    fs::create_directory(folder / "out");
    std::vector<std::string> args = {"split", c.source, "--times", "0:00,0:04,0:08"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    Outcome o = Cli(args, 60, folder);
    EXPECT_EQ(o.exit, 0) << o;
    fs::remove(folder / c.source);
    std::vector<std::string> tree = c.tree;
    if (std::count(tree.begin(), tree.end(), "out") == 0) tree.push_back("out");
    std::sort(tree.begin(), tree.end());
    EXPECT_EQ(FileTree(folder), tree);
  }
}

TEST(RealMp3, TrackNamesLongerThan259CharactersAreFileErrors) {
  fs::path source = CbrSource(kMpeg25At8, Tags::kNone);
  for (size_t length : {259, 260}) {
    SCOPED_TRACE(std::to_string(length) + " characters");
    // No single name within the path passes the system's 255.
    fs::path folder = Workspace::NewFolder("long") / std::string(120, 'd');
    fs::create_directories(folder);
    size_t folderChars = folder.string().size() + 1;
    ASSERT_LT(folderChars + 4, length);
    std::string name(length - folderChars - 4, 'n');
    Outcome o = Split(source, "0:00", folder, {"--name", name});
    if (length <= 259) {
      EXPECT_EQ(o.exit, 0) << o;
      EXPECT_EQ(FileNames(folder), std::vector<std::string>{name + ".mp3"});
    } else {
      EXPECT_EQ(o.exit, 1) << o;
      EXPECT_TRUE(Contains(o.err, kSplitFileError)) << o;
      EXPECT_TRUE(FileNames(folder).empty());
    }
  }
}

// A write that fails (the device is full) or a read that fails must not end in success.
TEST(RealMp3, FailedWritesAndReadsAreFileErrors) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "this system has no /dev/full to write to";
  struct Case {
    const char* what;
    std::function<std::vector<std::string>(const fs::path& folder)> command;  // prepares too
    const char* message;
    std::vector<std::string> left;  // the folder's files afterwards
  };
  auto splitWithFullTrack = [](const fs::path& source, const char* full) {
    return [source, full](const fs::path& folder) {
      fs::create_symlink("/dev/full", folder / full);
      return std::vector<std::string>{"split",    source, "--times", "0:00,0:05",
                                      "--folder", folder, "--name",  "t%track%"};
    };
  };
  const Case cases[] = {
      {"split, track 1 on a full device",
       splitWithFullTrack(CbrSource(kMpeg1At128, Tags::kNone), "t01.mp3"),
       kSplitFileError,
       {"t01.mp3"}},
      {"split, track 2 on a full device",
       splitWithFullTrack(CbrSource(kMpeg1At128, Tags::kNone), "t02.mp3"),
       kSplitFileError,
       {"t01.mp3", "t02.mp3"}},
      {"split, a track of only the trailer on a full device",
       splitWithFullTrack(FreeFormatSource(Tags::kId3v1), "t01.mp3"),
       kSplitFileError,
       {"t01.mp3"}},
      {"join onto a full device",
       [](const fs::path& folder) {
         fs::create_symlink("/dev/full", folder / "joined.mp3");
         return std::vector<std::string>{"join", folder / "joined.mp3",
                                         CbrSource(kMpeg25At8, Tags::kNone),
                                         CbrSource(kMpeg25At8, Tags::kId3v1)};
       },
       kJoinFileError,
       {"joined.mp3"}},
      {"split into a folder that does not exist",
       [](const fs::path& folder) {
         return std::vector<std::string>{"split",    CbrSource(kMpeg25At8, Tags::kNone),
                                         "--times",  "0:00,0:05",
                                         "--folder", folder / "missing"};
       },
       kSplitFileError,
       {}},
      {"join into a folder that does not exist",
       [](const fs::path& folder) {
         return std::vector<std::string>{"join", folder / "missing" / "joined.mp3",
                                         CbrSource(kMpeg25At8, Tags::kNone),
                                         CbrSource(kMpeg25At8, Tags::kId3v1)};
       },
       kJoinFileError,
       {}},
      {"join of a source that does not exist",
       [](const fs::path& folder) {
         return std::vector<std::string>{"join", folder / "joined.mp3",
                                         CbrSource(kMpeg25At8, Tags::kNone),
                                         folder / "missing.mp3"};
       },
       kJoinFileError,
       {"joined.mp3"}},
      {"join of a source that cannot be read",
       [](const fs::path& folder) {
         fs::create_directory(folder / "a folder.mp3");
         return std::vector<std::string>{"join", folder / "joined.mp3",
                                         CbrSource(kMpeg25At8, Tags::kNone),
                                         folder / "a folder.mp3"};
       },
       kJoinFileError,
       {"a folder.mp3", "joined.mp3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path folder = Workspace::NewFolder("failing");
    Outcome o = Cli(c.command(folder));
    EXPECT_EQ(o.exit, 1) << o;
    EXPECT_TRUE(Contains(o.err, c.message)) << o;
    EXPECT_EQ(FileNames(folder), c.left);
  }
}

// ---------------------------------------------------------------------------------------
// Sources past 4 GiB, as sparse files: ID3v2 tags whose contents are holes, then real
// frames. Only the tag headers and the frames are ever written.

constexpr uint32_t kLargestTag = 0x0FFFFFFF;  // the largest syncsafe size

// Writes `tags` (their sizes) at the start of `path` and the bytes of `audio` after them.
fs::path SparseSource(const fs::path& path, const std::vector<uint32_t>& tags,
                      const fs::path& audio) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path.string());
  uint64_t at = 0;
  for (uint32_t size : tags) {
    WriteAt(
        fd, at,
        {'I', 'D', '3', 3, 0, 0, static_cast<unsigned char>(size >> 21 & 0x7F),
         static_cast<unsigned char>(size >> 14 & 0x7F),
         static_cast<unsigned char>(size >> 7 & 0x7F), static_cast<unsigned char>(size & 0x7F)});
    at += 10 + uint64_t{size};
  }
  WriteAt(fd, at, ReadBytes(audio));
  ::close(fd);
  return path;
}

struct LargeCase {
  const char* what;
  std::vector<uint32_t> tags;
};

std::vector<LargeCase> LargeCases() {
  const std::vector<uint32_t> past(17, kLargestTag);
  std::vector<uint32_t> across(15, kLargestTag);
  // The frames begin 60000 bytes before 4 GiB, so the tracks after the first lie past it.
  across.push_back(static_cast<uint32_t>(k4GiB - 60000 - 15 * (10 + uint64_t{kLargestTag}) - 10));
  return {{"first frame past 4 GiB", past}, {"audio across 4 GiB", across}};
}

TEST(RealMp3, SourcesPast4GiBProbeSplitAndJoin) {
  fs::path audio = CbrSource(kMpeg1At128, Tags::kId3v1);
  for (const LargeCase& c : LargeCases()) {
    SCOPED_TRACE(c.what);
    fs::path folder = Workspace::NewFolder("large");
    Stream s = LoadStream(SparseSource(folder / "large.mp3", c.tags, audio));
    uint64_t tagBytes = 0;
    for (uint32_t size : c.tags) tagBytes += 10 + uint64_t{size};
    ASSERT_EQ(s.firstFrame, tagBytes);
    ASSERT_TRUE(s.framesTileAudio);
    CheckProbe(s);
    fs::path tracks = folder / "tracks";
    fs::create_directory(tracks);
    std::vector<Bytes> bodies = SplitAndCheck(s, kFourTrackTimes, kFourTrackOffsets, false, tracks);
    CheckJoinGivesBack(s, tracks, bodies);
    fs::remove_all(folder);
  }
}

// The destination gets every byte of a source past 4 GiB: 4.3 GB are written.
TEST(RealMp3, JoinOfASourcePast4GiBWritesItWhole) {
  constexpr uint64_t kNeeded = uint64_t{20} << 30;
  struct statvfs space {};
  fs::path folder = Workspace::NewFolder("large join");
  if (::statvfs(folder.c_str(), &space) != 0 ||
      uint64_t{space.f_bavail} * space.f_frsize < kNeeded) {
    GTEST_SKIP() << "less than 20 GiB free in " << folder << " for a join past 4 GiB";
  }
  const LargeCase c = LargeCases()[0];
  fs::path second = CbrSource(kMpeg25At8, Tags::kNone);
  Stream s =
      LoadStream(SparseSource(folder / "large.mp3", c.tags, CbrSource(kMpeg1At128, Tags::kId3v1)));
  fs::path joined = folder / "joined.mp3";
  Outcome o = Join(joined, {s.path, second}, 280);  // a slow disk writes 4.3 GB slowly
  EXPECT_EQ(o.exit, 0) << o;
  Bytes tail = s.audio;
  Append(tail, ReadBytes(second));
  ASSERT_EQ(fs::file_size(joined), s.firstFrame + tail.size());
  uint64_t at = 0;
  for (size_t i = 0; i < c.tags.size(); ++i) {
    EXPECT_TRUE(SameBytes(ReadRange(joined, at, 10), ReadRange(s.path, at, 10))) << "tag " << i;
    at += 10 + uint64_t{c.tags[i]};
  }
  EXPECT_TRUE(SameBytes(ReadRange(joined, k4GiB - 8, 16), Bytes(16, 0))) << "around 4 GiB";
  // The first source's Info frame now speaks for both sources.
  const size_t frameBytes = s.FirstFrameBytes();
  EXPECT_TRUE(SameBytes(ReadRange(joined, s.firstFrame + frameBytes, tail.size() - frameBytes),
                        Slice(tail, frameBytes, tail.size())));
  Bytes header = ReadRange(joined, s.firstFrame, frameBytes);
  std::optional<InfoFields> info = FindInfoFields(header);
  ASSERT_TRUE(info);
  EXPECT_EQ(BigEndian32(&header[info->bytes]), tail.size());
  fs::remove_all(folder);
}

}  // namespace
