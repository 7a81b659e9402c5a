// Play Cut on a removed range plays the seam as `cut` writes it: the preview's samples are
// those of the whole cut-out file that mp3partwell cut writes, as mpg123 decodes it, from
// where the 3 s before the range begin to where the 3 s after it end.
#include "view/cut_preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "analysis/timeline_pcm.h"
#include "e2e_support.h"
#include "split/track_time.h"

namespace {

using namespace partwell;
using namespace partwell::e2e;

struct Recipe {
  const char* name;
  int rate;
  int channels;
  std::vector<std::string> lame;
};

// 20 s of a tone swelling and fading over pink noise.
fs::path MakeSource(const Recipe& recipe) {
  return Made(std::string("preview ") + recipe.name + ".mp3", [&](const fs::path& path) {
    fs::path wave = path.parent_path() / (std::string(recipe.name) + ".wav");
    MustRun({"sox", "-R", "-n", "-r", std::to_string(recipe.rate), "-c",
             std::to_string(recipe.channels), wave.string(), "synth", "20", "pinknoise", "synth",
             "20", "sine", "mix", "200-2000", "tremolo", "0.5", "90"});
    std::vector<std::string> argv = {"lame", "--quiet"};
    argv.insert(argv.end(), recipe.lame.begin(), recipe.lame.end());
    argv.insert(argv.end(), {wave.string(), path.string()});
    MustRun(argv);
  });
}

// What the command prints of its file: the kept stretch and each seam, in timeline samples.
struct Printed {
  int64_t keptStart = 0, keptEnd = 0;
  std::vector<std::pair<int64_t, int64_t>> seams;
  // Where timeline sample `sample` (not inside a seam) plays in the file.
  int64_t Position(int64_t sample) const {
    int64_t position = std::clamp(sample, keptStart, keptEnd) - keptStart;
    for (auto [from, to] : seams) {
      if (to <= sample) position -= to - from;
    }
    return position;
  }
};

Printed ReadPrinted(const std::string& out) {
  Printed printed;
  std::smatch m;
  std::regex kept(R"(Kept .*\(sample (\d+)\) to .*\(sample (\d+)\))");
  EXPECT_TRUE(std::regex_search(out, m, kept)) << out;
  printed.keptStart = std::stoll(m[1]);
  printed.keptEnd = std::stoll(m[2]);
  std::regex seam(R"(Seam \d+: (?:smooth, )?removed .*?\(sample (\d+)\) to .*?\(sample (\d+)\))");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), seam); it != std::sregex_iterator();
       ++it) {
    printed.seams.emplace_back(std::stoll((*it)[1]), std::stoll((*it)[2]));
  }
  return printed;
}

std::string RangeText(const std::vector<TimeRange>& ranges) {
  std::string text;
  for (const TimeRange& r : ranges) {
    auto time = [](int64_t h) { return FormatTimeText(TimePartsOfOffset(h)); };
    text += (text.empty() ? "" : ",") + time(r.start) + "-" + (r.end ? time(*r.end) : "end");
  }
  return text;
}

TEST(RemovedCutPreview, PlaysTheSeamAsTheCutOutFileHasIt) {
  const Recipe cbr = {"cbr128", 44100, 2, {"-b", "128"}};
  const Recipe vbr = {"vbr v2", 44100, 2, {"-V", "2"}};
  const Recipe mono = {"mpeg2 16k mono", 16000, 1, {"-V", "4", "-m", "m"}};
  struct Case {
    const Recipe& recipe;
    std::vector<TimeRange> removed;
    size_t index;
    bool smooth = false;
  };
  const Case cases[] = {
      {cbr, {{800, 1100}}, 0},
      // A seam before the 3 s moves the file on; one inside them is heard as well.
      {cbr, {{150, 300}, {800, 1100}, {1250, 1290}}, 1},
      // A trim before the range, and no 3 s of source before it.
      {cbr, {{0, 50}, {150, 400}}, 1},
      {cbr, {{1500, std::nullopt}}, 0},
      {cbr, {{0, 1000}}, 0},
      {vbr, {{800, 1100}}, 0},
      {vbr, {{700, 710}, {900, 1000}}, 0},
      {mono, {{800, 1100}}, 0},
      {cbr, {{800, 1100}}, 0, true},
      {vbr, {{700, 710}, {900, 1000}}, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.recipe.name) + " " + RangeText(c.removed) + " #" +
                 std::to_string(c.index) + (c.smooth ? " smooth" : ""));
    fs::path source = MakeSource(c.recipe);
    fs::path folder = Workspace::NewFolder("preview");
    std::vector<std::string> args = {
        "cut", source, "--remove", RangeText(c.removed), "--output", folder / "cut.mp3"};
    if (c.smooth) args.push_back("--smooth");
    Outcome o = Cli(args);
    ASSERT_EQ(o.exit, 0) << o;
    const Printed printed = ReadPrinted(o.out);
    const std::vector<int16_t> file = Decode(folder / "cut.mp3", Decoder::kMpg123);

    CutPreview preview =
        RemovedCutPreview(source.string(), c.removed, c.index, c.smooth, folder.string());
    ASSERT_TRUE(preview.made) << preview.failure;
    const TimeRange& range = c.removed[c.index];
    auto sample = [&](int64_t h) { return HundredthsToSample(h, c.recipe.rate); };
    const int64_t from = printed.Position(sample(std::max<int64_t>(range.start - 300, 0)));
    const int64_t to =
        range.end ? printed.Position(sample(*range.end + 300)) : printed.Position(printed.keptEnd);
    const int64_t ch = c.recipe.channels;
    ASSERT_EQ(static_cast<int64_t>(preview.samples.size()), (to - from) * ch);
    ASSERT_LE(to * ch, static_cast<int64_t>(file.size()));
    // mpg123 rounds mono and MPEG-2 samples by the count of slots decoded so far: the
    // preview starts its decoder elsewhere in the stream.
    const int allowed = ch == 1 ? 1 : 0;
    int64_t differing = 0;
    for (size_t i = 0; i < preview.samples.size(); ++i) {
      if (std::abs(preview.samples[i] - file[static_cast<size_t>(from * ch) + i]) > allowed) {
        ++differing;
      }
    }
    EXPECT_EQ(differing, 0);
    // The scratch folder has gone.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  }
}

// Playback decodes a stretch late in a file from a frame shortly before it, not from the
// file's start; what it gives is still the decoder's timeline of the whole file.
TEST(TimelinePcm, StretchesAnywhereAreTheDecodersTimeline) {
  const Recipe recipes[] = {{"cbr128", 44100, 2, {"-b", "128"}},
                            {"vbr v2", 44100, 2, {"-V", "2"}},
                            {"mpeg2 16k mono", 16000, 1, {"-V", "4", "-m", "m"}}};
  for (const Recipe& recipe : recipes) {
    fs::path source = MakeSource(recipe);
    const std::vector<int16_t> file = Decode(source, Decoder::kMpg123);
    const size_t ch = static_cast<size_t>(recipe.channels);
    for (double seconds : {0.0, 7.5, 12.345, 19.0}) {
      SCOPED_TRACE(std::string(recipe.name) + " from " + std::to_string(seconds) + " s");
      const uint64_t from = static_cast<uint64_t>(seconds * recipe.rate);
      std::string failure;
      std::unique_ptr<TimelinePcm> pcm =
          TimelinePcm::Open(source.string(), from, from + 2 * recipe.rate, failure);
      ASSERT_TRUE(pcm) << failure;
      std::vector<int16_t> played(4 * recipe.rate * ch);
      played.resize(pcm->Read(played.data(), played.size() / ch) * ch);
      const size_t expected = std::min<size_t>(2 * recipe.rate * ch, file.size() - from * ch);
      ASSERT_EQ(played.size(), expected);
      const int allowed = ch == 1 ? 1 : 0;  // as above: a decoder started elsewhere
      int64_t differing = 0;
      for (size_t i = 0; i < played.size(); ++i) {
        if (std::abs(played[i] - file[from * ch + i]) > allowed) ++differing;
      }
      EXPECT_EQ(differing, 0);
    }
  }
}

}  // namespace
