// End-to-end tests of the silence search on real encoder output. A small album and a
// spoken-word recording are made with sox and espeak-ng, so that where every pause lies is
// known to the sample; lame and ffmpeg encode them; mp3partwell silences must find the
// pauses, and the levels it measures must match ffmpeg's decoding of the same files.
//
// PARTWELL_SILENCES_ALBUMS=N (default 1) makes N albums of longer songs and prints how many
// pauses were found and how many cuts were false, per encoding: the figures of a larger run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/loudness_levels.h"
#include "analysis/silence_finder.h"
#include "e2e_support.h"
#include "mpeg/stream_scan.h"
#include "test_hosts.h"

namespace partwell {
namespace {

using namespace e2e;
using test::QuietHost;

std::string Seconds(int hundredths) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
  return text;
}

// "a b c" as {"a", "b", "c"}: sox effects and encoder options, none with a space inside.
std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::vector<std::string> Command(std::vector<std::string> head, const std::string& tail) {
  for (std::string& word : Words(tail)) head.push_back(std::move(word));
  return head;
}

// ---------------------------------------------------------------------------------------
// The recordings: pieces made by sox and put end to end, each a whole number of hundredths
// long (441 samples at 44.1 kHz), so that every pause's place is known exactly.

struct Pause {
  int start = 0;  // hundredths of the timeline
  int end = 0;
};

struct Recording {
  std::string name;
  std::vector<Pause> pauses;  // between tracks (songs, chapters)
  std::string wav;
};

class Maker {
 public:
  explicit Maker(fs::path folder) : folder_(std::move(folder)) {}

  std::string NewPiece() {
    return (folder_ / ("piece" + std::to_string(++pieces_) + ".wav")).string();
  }

  // A piece of `hundredths` made by sox from nothing with `effects`.
  std::string Synth(int hundredths, const std::string& effects) {
    std::string path = NewPiece();
    MustRun(
        Command({"sox", "-R", "-n", "-r", "44100", "-c", "2", path, "synth", Seconds(hundredths)},
                effects));
    return path;
  }
  std::string Zeros(int hundredths) {
    std::string path = NewPiece();
    MustRun({"sox", "-n", "-r", "44100", "-c", "2", path, "trim", "0", Seconds(hundredths)});
    return path;
  }
  // White noise at `db` dBFS RMS (uniform noise of amplitude a has an RMS of a / sqrt 3).
  std::string Noise(int hundredths, double db) {
    return Synth(hundredths,
                 "whitenoise vol " + std::to_string(std::pow(10.0, db / 20) * std::sqrt(3.0)));
  }
  // A soft tone at `db` dBFS RMS, the same in both channels so that a mono downmix keeps its
  // level (a sine of amplitude a has an RMS of a / sqrt 2).
  std::string Pad(int hundredths, double db, int frequency) {
    std::string f = std::to_string(frequency);
    return Synth(hundredths, "sine " + f + " sine " + f + " vol " +
                                 std::to_string(std::pow(10.0, db / 20) * std::sqrt(2.0)));
  }
  // Music: a chord with tremolo over pink-noise beats, around -20 dBFS.
  std::string Music(int hundredths, int frequency) {
    std::string path = NewPiece();
    std::string head = "|sox -R -n -r 44100 -c 2 -p synth " + Seconds(hundredths);
    MustRun({"sox", "-R", "-m",
             head + " sine " + std::to_string(frequency) + " sine " +
                 std::to_string(frequency * 3 / 2) + " tremolo 5 40 vol 0.5",
             head + " pinknoise tremolo 2 90 vol 0.4", path});
    return path;
  }
  std::string Join(std::vector<std::string> pieces, const std::string& effects = "") {
    std::string path = NewPiece();
    pieces.insert(pieces.begin(), "sox");
    pieces.push_back(path);
    MustRun(Command(pieces, effects));
    return path;
  }

 private:
  fs::path folder_;
  int pieces_ = 0;
};

// Draws from [low, high] with the generator's own arithmetic, the same on every library.
int Draw(std::mt19937& random, int low, int high) {
  return low + static_cast<int>(random() % static_cast<uint32_t>(high - low + 1));
}

// Songs separated by digital silence or by noise at -50...-70 dBFS; inside the songs, quiet
// passages at -40...-46 dBFS and short stops (zeros or -60 dBFS noise) that are no pause.
Recording MakeAlbum(Maker& make, const std::string& name, int songs, int songHundredths,
                    int shortestPause, std::mt19937& random) {
  Recording album;
  album.name = name;
  std::vector<std::string> pieces = {make.Zeros(30)};
  int at = 30;
  for (int song = 0; song < songs; ++song) {
    int music = Draw(random, songHundredths * 2 / 3, songHundredths * 4 / 3);
    int frequency = Draw(random, 200, 400);
    int first = music / 2, length = music;
    std::vector<std::string> parts = {make.Music(first, frequency)};
    if (song % 3 == 0) {
      int quiet = Draw(random, 150, 300);
      parts.push_back(make.Pad(quiet, -40 - Draw(random, 0, 6), frequency));
      length += quiet;
    } else if (song % 3 == 1) {
      int stop = Draw(random, 25, 35);
      parts.push_back(song % 2 ? make.Zeros(stop) : make.Noise(stop, -60));
      length += stop;
    }
    parts.push_back(make.Music(music - first, frequency));
    // Fades stay in the music, away from the quiet passage they would push under -48 dBFS.
    int fadeIn = Draw(random, 1, std::min(100, first - 50));
    int fadeOut = Draw(random, 5, std::min(400, music - first - 50));
    pieces.push_back(make.Join(
        parts, "fade t " + Seconds(fadeIn) + " " + Seconds(length) + " " + Seconds(fadeOut)));
    at += length;
    if (song + 1 == songs) break;
    int pause = Draw(random, shortestPause, 250);
    pieces.push_back(song % 2 ? make.Zeros(pause) : make.Noise(pause, -50 - Draw(random, 0, 20)));
    album.pauses.push_back({at, at + pause});
    at += pause;
  }
  pieces.push_back(make.Zeros(100));
  album.wav = make.Join(pieces);
  return album;
}

const char* const kSentences[] = {
    "The ship left the harbour at dawn, and nobody on the quay waved.",
    "For three days the wind held steady from the west.",
    "Then the sky turned grey, and the sea rose.",
    "The captain kept to his cabin with the charts.",
    "Nobody knew where the old map had come from.",
    "It showed an island that no other map had ever shown.",
    "On the fifth morning the lookout saw land.",
    "They rowed ashore through a narrow gap in the reef.",
};

// Chapters of sentences spoken by espeak-ng, each trimmed of its own leading and trailing
// silence, with pauses of 0.3...0.8 s between sentences and 2...5 s between chapters, all
// over room tone at -62 dBFS.
Recording MakeSpeech(Maker& make, int chapters, std::mt19937& random) {
  Recording speech;
  speech.name = "speech";
  std::vector<std::string> pieces = {make.Zeros(60)};
  int at = 60;
  size_t sentence = 0;
  for (int chapter = 1; chapter <= chapters; ++chapter) {
    std::vector<std::string> texts = {"Chapter " + std::to_string(chapter) + "."};
    for (int i = 0; i < 3; ++i) texts.push_back(kSentences[sentence++ % std::size(kSentences)]);
    for (size_t i = 0; i < texts.size(); ++i) {
      std::string spoken = make.NewPiece(), trimmed = make.NewPiece();
      MustRun({"espeak-ng", "-v", "en", "-s", "165", "-w", spoken, texts[i]});
      MustRun(Command({"sox", spoken, "-r", "44100", "-c", "2", trimmed},
                      "silence 1 0.01 0.1% reverse silence 1 0.01 0.1% reverse"));
      long samples = std::atol(MustRun({"soxi", "-s", trimmed}).out.c_str());
      if (samples <= 0) throw std::runtime_error("soxi could not read " + trimmed);
      int hundredths = static_cast<int>((samples + 440) / 441);
      std::string padded = make.NewPiece();
      MustRun(
          {"sox", trimmed, padded, "pad", "0", std::to_string(hundredths * 441 - samples) + "s"});
      pieces.push_back(padded);
      at += hundredths;
      bool chapterEnds = i + 1 == texts.size();
      if (chapterEnds && chapter == chapters) break;
      int pause = chapterEnds ? Draw(random, 200, 500) : Draw(random, 30, 80);
      pieces.push_back(make.Zeros(pause));
      if (chapterEnds) speech.pauses.push_back({at, at + pause});
      at += pause;
    }
  }
  pieces.push_back(make.Zeros(100));
  std::string words = make.Join(pieces);
  std::string tone = make.Noise(at + 100, -62);
  speech.wav = make.NewPiece();
  MustRun({"sox", "-m", "-v", "1", words, "-v", "1", tone, speech.wav});
  return speech;
}

// ---------------------------------------------------------------------------------------
// Encodings

struct Encoding {
  const char* name;
  const char* command;  // IN and OUT are replaced
  int channels;
  int rate;
  // Samples that ffmpeg plays before the timeline begins: 529 without a LAME tag, and one
  // frame more for a VBRI frame that ffmpeg decodes as a frame of silence.
  size_t leadingSamples;
  bool vbri;  // the Info frame becomes a VBRI frame
};

const Encoding kSearched[] = {
    {"cbr128", "lame --quiet -b 128 IN OUT", 2, 44100, 0, false},
    {"v2", "lame --quiet -V 2 IN OUT", 2, 44100, 0, false},
    {"m64", "lame --quiet -b 64 -m m --resample 22.05 IN OUT", 1, 22050, 0, false},
};
const Encoding kLarger[] = {
    {"cbr320", "lame --quiet -b 320 IN OUT", 2, 44100, 0, false},
    {"ff160", "ffmpeg -v error -i IN -c:a libmp3lame -b:a 160k OUT", 2, 44100, 0, false},
};
// Other timelines, for the levels only: no Info frame, ID3v2 and ID3v1 tags (and 32 kHz),
// ffmpeg's tag, a VBRI frame, MPEG-2.5.
const Encoding kTimelines[] = {
    {"untagged", "lame --quiet -t -b 128 IN OUT", 2, 44100, 529, false},
    {"id3", "lame --quiet -b 96 --add-id3v2 --tt Title --ta Artist IN OUT", 2, 32000, 0, false},
    {"lavc", "ffmpeg -v error -i IN -c:a libmp3lame -b:a 160k OUT", 2, 44100, 0, false},
    {"vbri", "lame --quiet -b 128 IN OUT", 2, 44100, 1152 + 529, true},
    {"mpeg25", "lame --quiet -b 32 -m m --resample 11.025 IN OUT", 1, 11025, 0, false},
};

// Turns the Info frame at the start of a LAME file into a VBRI frame (whose counts are
// left zero) of the same length.
void MakeVbri(const std::string& path) {
  Bytes bytes = ReadBytes(path);
  const size_t vbriAt = 36, frameBytes = 417 + ((bytes[2] >> 1) & 1);  // 128 kbps, 44.1 kHz
  ASSERT_EQ(std::string(bytes.begin() + vbriAt, bytes.begin() + vbriAt + 4), "Info");
  std::fill(bytes.begin() + vbriAt, bytes.begin() + frameBytes, 0);
  const char vbri[] = {'V', 'B', 'R', 'I', 0, 1};
  std::copy(vbri, vbri + sizeof vbri, bytes.begin() + vbriAt);
  WriteBytes(path, bytes);
}

std::string Encode(const Encoding& encoding, const Recording& recording, const fs::path& folder) {
  std::string out = (folder / (recording.name + "-" + encoding.name + ".mp3")).string();
  std::vector<std::string> command = Words(encoding.command);
  *std::find(command.begin(), command.end(), "IN") = recording.wav;
  *std::find(command.begin(), command.end(), "OUT") = out;
  MustRun(command);
  if (encoding.vbri) MakeVbri(out);
  return out;
}

int AlbumsWanted() {
  const char* albums = std::getenv("PARTWELL_SILENCES_ALBUMS");
  return albums ? std::max(1, std::atoi(albums)) : 1;
}

bool LargerRun() { return AlbumsWanted() > 1; }

struct Source {
  const Recording* recording;
  const Encoding* encoding;
  std::string mp3;
};

// Made once for all the tests of this program.
class RealSilences : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = Workspace::NewFolder("silences");
    Maker make(folder_);
    std::mt19937 random(20240611);
    int albums = AlbumsWanted();
    for (int i = 0; i < albums; ++i) {
      // The larger run also has pauses shorter than the default minimum of 0.5 s.
      recordings_.push_back(MakeAlbum(make, "album" + std::to_string(i + 1), LargerRun() ? 9 : 6,
                                      LargerRun() ? 4000 : 700, LargerRun() ? 30 : 55, random));
    }
    recordings_.push_back(MakeSpeech(make, LargerRun() ? 6 : 3, random));
    std::vector<const Encoding*> encodings;
    for (const Encoding& e : kSearched) encodings.push_back(&e);
    if (LargerRun()) {
      for (const Encoding& e : kLarger) encodings.push_back(&e);
    }
    for (const Recording& recording : recordings_) {
      for (const Encoding* encoding : encodings) {
        sources_.push_back({&recording, encoding, Encode(*encoding, recording, folder_)});
      }
    }
    for (const Encoding& encoding : kTimelines) {
      timelineSources_.push_back(
          {&recordings_[0], &encoding, Encode(encoding, recordings_[0], folder_)});
    }
  }
  static inline fs::path folder_;
  static std::vector<Recording> recordings_;
  static std::vector<Source> sources_;
  static std::vector<Source> timelineSources_;
};

std::vector<Recording> RealSilences::recordings_;
std::vector<Source> RealSilences::sources_;
std::vector<Source> RealSilences::timelineSources_;

// ---------------------------------------------------------------------------------------
// The levels against ffmpeg's decoding, windowed here in the same way.

std::vector<float> ReferenceLevels(const Source& source) {
  fs::path raw = Workspace::Root() / "reference.f32";
  MustRun({"ffmpeg", "-v", "error", "-y", "-i", source.mp3, "-f", "f32le", raw.string()});
  Bytes bytes = ReadBytes(raw);
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  const int channels = source.encoding->channels, rate = source.encoding->rate;
  size_t skip = source.encoding->leadingSamples;
  size_t frames = samples.size() / static_cast<size_t>(channels) - skip;
  std::vector<float> levels;
  for (size_t k = 0;; ++k) {
    size_t from = k * static_cast<size_t>(rate) / 100,
           to = (k + 1) * static_cast<size_t>(rate) / 100;
    if (from >= frames) break;
    to = std::min(to, frames);
    double sum = 0;
    for (size_t i = (skip + from) * channels; i < (skip + to) * channels; ++i) {
      sum += double{samples[i]} * samples[i];
    }
    double mean = sum / static_cast<double>((to - from) * channels);
    levels.push_back(mean > 0 ? static_cast<float>(std::max(10 * std::log10(mean), -120.0))
                              : -120.0f);
  }
  return levels;
}

// The levels of a file on the timeline its stream scan gives.
LoudnessLevels LevelsOf(const std::string& mp3, JobHost& host) {
  File file = File::OpenForReading(mp3);
  StreamScan scan;
  if (ScanStream(file, scan) != StreamScanOutcome::kScanned) return LoudnessLevels();
  return MeasureLoudness(file, scan.timeline, host);
}

TEST_F(RealSilences, LevelsMatchAnIndependentDecoder) {
  std::vector<const Source*> all;
  for (const Source& s : sources_) all.push_back(&s);
  for (const Source& s : timelineSources_) all.push_back(&s);
  for (const Source* source : all) {
    SCOPED_TRACE(source->mp3);
    QuietHost host;
    LoudnessLevels ours = LevelsOf(source->mp3, host);
    ASSERT_EQ(ours.outcome, JobOutcome::kCompleted);
    std::vector<float> theirs = ReferenceLevels(*source);
    ASSERT_EQ(ours.levels.size(), theirs.size());
    // The two decoders differ in the last bits: where the sound is well above the floor the
    // levels agree closely, and a shift of even a few samples would show at every edge.
    size_t compared = 0;
    float worst = 0;
    for (size_t i = 0; i < theirs.size(); ++i) {
      if (std::max(ours.levels[i], theirs[i]) < -90) continue;
      worst = std::max(worst, std::fabs(ours.levels[i] - theirs[i]));
      ++compared;
    }
    EXPECT_LT(worst, 0.05f) << compared << " levels compared";
  }
}

// The job protocol the window program relies on: percents that only grow, from 0 to 100,
// and a halt asked for at a percent ends the measuring there.
class PercentHost : public JobHost {
 public:
  explicit PercentHost(int haltAt) : haltAt_(haltAt) {}
  void JobStarted() override {}
  bool HaltRequested() override { return !percents.empty() && percents.back() >= haltAt_; }
  void UnitStarted(int percent) override { percents.push_back(percent); }
  std::vector<int> percents;

 private:
  int haltAt_;
};

TEST_F(RealSilences, ProgressAndHalt) {
  for (int haltAt : {101, 30}) {
    SCOPED_TRACE(haltAt);
    PercentHost host(haltAt);
    LoudnessLevels levels = LevelsOf(sources_.front().mp3, host);
    ASSERT_GE(host.percents.size(), 3u);
    EXPECT_EQ(host.percents.front(), 0);
    EXPECT_TRUE(std::is_sorted(host.percents.begin(), host.percents.end()));
    if (haltAt > 100) {
      EXPECT_EQ(levels.outcome, JobOutcome::kCompleted);
      EXPECT_EQ(host.percents.back(), 100);
    } else {
      EXPECT_EQ(levels.outcome, JobOutcome::kCancelled);
      EXPECT_LT(host.percents.back(), 50);
    }
  }
}

// ---------------------------------------------------------------------------------------
// The search through mp3partwell

std::vector<int> ProposedTimes(const std::string& output) {
  std::vector<int> times;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    unsigned minutes = 0, seconds = 0, hundredths = 0;
    if (std::sscanf(line.c_str(), "%3u:%2u.%2u", &minutes, &seconds, &hundredths) != 3) {
      ADD_FAILURE() << "not a time: " << line;
      continue;
    }
    times.push_back(static_cast<int>(minutes * 6000 + seconds * 100 + hundredths));
  }
  return times;
}

struct Score {
  int pauses = 0;
  int found = 0;
  int longPauses = 0;  // at least the default minimum pause
  int longFound = 0;
  std::vector<int> falseCuts;
};

// Each pause counts as found when a proposed time lies inside it; every other time is false.
Score ScoreTimes(const std::vector<Pause>& pauses, const std::vector<int>& times) {
  Score score;
  score.pauses = static_cast<int>(pauses.size());
  std::vector<bool> found(pauses.size());
  for (int time : times) {
    bool inside = false;
    for (size_t i = 0; i < pauses.size(); ++i) {
      if (time >= pauses[i].start && time <= pauses[i].end) inside = found[i] = true;
    }
    if (!inside) score.falseCuts.push_back(time);
  }
  for (size_t i = 0; i < pauses.size(); ++i) {
    bool isLong = pauses[i].end - pauses[i].start >= kMusicMinPause;
    score.found += found[i];
    score.longPauses += isLong;
    score.longFound += isLong && found[i];
  }
  return score;
}

std::string Text(const Score& s) {
  std::string text = std::to_string(s.found) + "/" + std::to_string(s.pauses) + " found (" +
                     std::to_string(s.longFound) + "/" + std::to_string(s.longPauses) +
                     " of 0.5 s or more), " + std::to_string(s.falseCuts.size()) + " false";
  for (int t : s.falseCuts) text += " " + Seconds(t);
  return text;
}

Outcome Silences(const std::string& mp3, const std::string& options) {
  return Cli(Command({"silences", mp3}, options), 120);
}

bool IsSpeech(const Source& source) { return source.recording->name == "speech"; }

TEST_F(RealSilences, EveryPauseAndNoFalseCut) {
  struct Case {
    const char* options;
    bool speech;  // searched in the speech, or in the albums
  };
  const Case cases[] = {{"", false}, {"--speech", true}, {"--tracks", false}, {"--tracks", true}};
  for (const Case& c : cases) {
    for (const Source& source : sources_) {
      if (IsSpeech(source) != c.speech) continue;
      std::string options = c.options;
      if (options == "--tracks")
        options += " " + std::to_string(source.recording->pauses.size() + 1);
      SCOPED_TRACE(source.mp3 + " " + options);
      Outcome o = Silences(source.mp3, options);
      ASSERT_EQ(o.exit, 0) << o.err;
      Score score = ScoreTimes(source.recording->pauses, ProposedTimes(o.out));
      std::printf("%-8s %-8s %-12s %s\n", source.recording->name.c_str(), source.encoding->name,
                  options.c_str(), Text(score).c_str());
      if (options.empty()) {
        EXPECT_EQ(score.longFound, score.longPauses) << Text(score);
      } else {
        EXPECT_EQ(score.found, score.pauses) << Text(score);
      }
      EXPECT_TRUE(score.falseCuts.empty()) << Text(score);
    }
  }
}

TEST_F(RealSilences, CommandLine) {
  const Source& album = sources_.front();
  Outcome list = Silences(album.mp3, "");
  Outcome times = Silences(album.mp3, "--times-only");
  ASSERT_EQ(list.exit, 0);
  ASSERT_EQ(times.exit, 0);
  std::string joined;
  for (int t : ProposedTimes(list.out)) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%03d:%02d.%02d", joined.empty() ? "" : ",", t / 6000,
                  t / 100 % 60, t % 100);
    joined += text;
  }
  EXPECT_EQ(times.out, joined + "\n");
  EXPECT_NE(list.out.find("  # pause of "), std::string::npos) << list.out;
  // Into a file, the progress is the file's line alone, without a line per percent.
  EXPECT_EQ(list.err, "File 1 of 1: " + album.mp3 + "\n") << list.err;

  struct Failure {
    std::string options;
    int exit;
  };
  const Failure failures[] = {
      {"--speech --min-pause 2", 2},
      {"--threshold 3", 2},
      {"--tracks 0", 2},
  };
  for (const Failure& f : failures) {
    EXPECT_EQ(Silences(album.mp3, f.options).exit, f.exit) << f.options;
  }
  fs::path text = folder_ / "text.mp3";
  WriteBytes(text, Bytes(5000, 'x'));
  Outcome notMp3 = Silences(text.string(), "");
  EXPECT_EQ(notMp3.exit, 1);
  EXPECT_NE(notMp3.err.find("invalid, corrupted"), std::string::npos) << notMp3.err;
}

}  // namespace
}  // namespace partwell
