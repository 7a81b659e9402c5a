// Quick levels and decoded levels on real encoder output: every kind of source the exact
// split accepts is read without error, its quick levels lie near its decoded levels where
// the music is loud (the median within 8 dB, nine granules in ten within 12 dB), and its
// decoded levels come out the same whether one worker measures them or several, in stretches
// of any length; the overview's SVG is valid XML with its marks where their times put them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "analysis/decoded_levels.h"
#include "analysis/loudness_levels.h"
#include "analysis/quick_levels.h"
#include "e2e_support.h"
#include "mpeg/stream_scan.h"
#include "source_recipes.h"
#include "test_hosts.h"

namespace {

using namespace partwell;
using namespace partwell::e2e;

struct QuietHost : JobHost {
  void JobStarted() override {}
  bool HaltRequested() override { return false; }
  void UnitStarted(int) override {}
};

// 6 s of a tone swelling and fading over pink noise, with a second of digital silence.
// The sources the exact split is tested on, but the VBRI one (a frame only that test makes).
std::vector<SourceRecipe> Recipes() {
  std::vector<SourceRecipe> recipes;
  for (const SourceRecipe& recipe : ExactSplitRecipes()) {
    if (!recipe.lame.empty()) recipes.push_back(recipe);
  }
  return recipes;
}

fs::path MakeSource(const SourceRecipe& recipe) {
  return Made(std::string("levels ") + recipe.name + ".mp3", [&](const fs::path& path) {
    fs::path wave = Made(
        "levels " + std::to_string(recipe.rate) + "-" + std::to_string(recipe.channels) + ".wav",
        [&](const fs::path& wav) {
          MustRun({"sox",
                   "-R",
                   "-n",
                   "-r",
                   std::to_string(recipe.rate),
                   "-c",
                   std::to_string(recipe.channels),
                   wav.string(),
                   "synth",
                   "5",
                   "pinknoise",
                   "synth",
                   "5",
                   "sine",
                   "mix",
                   "200-2000",
                   "tremolo",
                   "0.5",
                   "90",
                   "fade",
                   "0.5",
                   "5",
                   "1",
                   "pad",
                   "0",
                   "1"});
        });
    std::vector<std::string> argv = {"lame", "--quiet"};
    argv.insert(argv.end(), recipe.lame.begin(), recipe.lame.end());
    argv.insert(argv.end(), {wave.string(), path.string()});
    MustRun(argv);
    if (recipe.keptPercent < 100) {
      Bytes file = ReadBytes(path);
      file.resize(file.size() * static_cast<size_t>(recipe.keptPercent) / 100);
      WriteBytes(path, file);
    }
  });
}

std::vector<float> SinglePass(const fs::path& path) {
  File file = File::OpenForReading(path.string());
  StreamScan scan;
  EXPECT_EQ(ScanStream(file, scan), StreamScanOutcome::kScanned);
  QuietHost host;
  LoudnessLevels levels = MeasureLoudness(file, scan.timeline, host);
  EXPECT_EQ(levels.outcome, JobOutcome::kCompleted);
  return levels.levels;
}

// The decoded level of the 10 ms windows a granule's samples fall in, power averaged.
double DecodedLevelOver(const std::vector<float>& levels, int64_t from, int64_t to, int rate) {
  double power = 0;
  int count = 0;
  for (int64_t k = std::max<int64_t>(from, 0) * 100 / rate;
       k <= to * 100 / rate && k < static_cast<int64_t>(levels.size()); ++k) {
    power += std::pow(10.0, levels[static_cast<size_t>(k)] / 10.0);
    ++count;
  }
  return count > 0 ? 10 * std::log10(std::max(power / count, 1e-12)) : kSilenceFloorDb;
}

// Where the decoded level is above -40 dBFS, the quick level's median distance from it is
// within 8 dB (320 kbps reads the loudest, 7 dB over) and nine granules in ten lie within
// 12 dB; digital silence reads as the floor.
TEST(Levels, QuickLevelsFollowTheDecodedLevels) {
  for (const SourceRecipe& recipe : Recipes()) {
    SCOPED_TRACE(recipe.name);
    fs::path source = MakeSource(recipe);
    QuietHost host;
    QuickLevels quick;
    JobReport report = MeasureQuickLevels(source.string(), host, quick);
    ASSERT_TRUE(report.completed()) << JobReportText(report);
    EXPECT_EQ(quick.sampleRate, recipe.rate);
    std::vector<float> decoded = SinglePass(source);
    std::vector<double> distances;
    size_t silent = 0, silentFloor = 0;
    for (size_t i = 0; i < quick.levelsDb.size(); ++i) {
      int64_t from = quick.SampleOf(i);
      if (from < 0 || from + kGranuleSamples > static_cast<int64_t>(quick.timelineLength)) continue;
      double level = DecodedLevelOver(decoded, from, from + kGranuleSamples - 1, recipe.rate);
      if (level > -40) distances.push_back(quick.levelsDb[i] - level);
      if (level <= kSilenceFloorDb + 0.5) {
        ++silent;
        silentFloor += quick.levelsDb[i] == kSilenceFloorDb;
      }
    }
    ASSERT_GT(distances.size(), 20u);
    std::sort(distances.begin(), distances.end());
    std::printf("%-18s median %+5.1f dB, 5%% %+5.1f, 95%% %+5.1f\n", recipe.name,
                distances[distances.size() / 2], distances[distances.size() / 20],
                distances[distances.size() * 19 / 20]);
    EXPECT_LT(std::fabs(distances[distances.size() / 2]), 8.0);
    size_t near = static_cast<size_t>(std::count_if(distances.begin(), distances.end(),
                                                    [](double d) { return std::fabs(d) <= 12; }));
    EXPECT_GE(near * 10, distances.size() * 9) << near << " of " << distances.size();
    if (recipe.keptPercent == 100) {
      EXPECT_GT(silent, 0u);
    }
    EXPECT_GE(silentFloor * 10, silent * 9) << silentFloor << " of " << silent;
  }
}

TEST(Levels, WorkersGiveTheSinglePassLevels) {
  for (const SourceRecipe& recipe : Recipes()) {
    fs::path source = MakeSource(recipe);
    std::vector<float> single = SinglePass(source);
    for (int workers : {1, 2, 3}) {
      for (int stretchFrames : {kStretchWarmUpFrames + 1, 40, 77, kStretchFrames}) {
        SCOPED_TRACE(std::string(recipe.name) + ", " + std::to_string(workers) + " workers, " +
                     std::to_string(stretchFrames) + " frames a stretch");
        QuietHost host;
        std::vector<float> levels;
        JobReport report = MeasureDecodedLevels(source.string(), host, levels,
                                                LevelWorkers{workers, stretchFrames});
        ASSERT_TRUE(report.completed()) << JobReportText(report);
        // Bit for bit: the silence search's results depend on nothing else.
        EXPECT_TRUE(levels == single) << levels.size() << " levels, " << single.size();
      }
    }
  }
}

// Progress as the single pass gives it, after each read of 64 KiB: the share of the file
// read, in whole percents, then the host asked whether to halt. In one stretch the steps are
// the single pass's; in many, no step is larger than one read's; a halt asked at the first
// step stops the workers long before the end. 40 s: 1723 frames of MPEG-1 stereo (fewer
// than a stretch of kStretchFrames), 5 reads of MPEG-2 mono.
TEST(Levels, ProgressComesAfterEachReadAndAHaltStopsTheWorkers) {
  const struct {
    const char* name;
    std::vector<std::string> lame;
    bool stretches;  // cut into stretches when they are short enough
  } kSources[] = {
      {"128 kbps stereo", {"-b", "128"}, true},
      {"MPEG-2 mono", {"-m", "m", "--resample", "22.05", "-b", "64"}, false},
  };
  const fs::path wave = Made("levels 40 s.wav", [](const fs::path& wav) {
    MustRun({"sox", "-R", "-n", "-r", "44100", "-c", "2", wav.string(), "synth", "40", "pinknoise",
             "tremolo", "0.5", "90"});
  });
  for (const auto& source : kSources) {
    const fs::path path =
        Made(std::string("levels 40 s ") + source.name + ".mp3", [&](const fs::path& mp3) {
          std::vector<std::string> argv = {"lame", "--quiet"};
          argv.insert(argv.end(), source.lame.begin(), source.lame.end());
          argv.insert(argv.end(), {wave.string(), mp3.string()});
          MustRun(argv);
        });
    const int64_t size = static_cast<int64_t>(fs::file_size(path));
    test::RecordingHost single;
    {
      File file = File::OpenForReading(path.string());
      StreamScan scan;
      ASSERT_EQ(ScanStream(file, scan), StreamScanOutcome::kScanned);
      ASSERT_TRUE(MeasureLoudness(file, scan.timeline, single).outcome == JobOutcome::kCompleted);
    }
    ASSERT_GE(single.units.size(), 5u) << source.name;
    for (int workers : {1, 2, 3}) {
      for (int stretchFrames : {40, 77, kStretchFrames}) {
        SCOPED_TRACE(std::string(source.name) + ", " + std::to_string(workers) + " workers, " +
                     std::to_string(stretchFrames) + " frames a stretch");
        const LevelWorkers split{workers, stretchFrames};
        test::RecordingHost host;
        std::vector<float> levels;
        ASSERT_TRUE(MeasureDecodedLevels(path.string(), host, levels, split).completed());
        if (!source.stretches || stretchFrames == kStretchFrames) {
          EXPECT_EQ(host.units, single.units);
        } else {
          ASSERT_GE(host.units.size(), 2u);
          EXPECT_EQ(host.units.front(), 0);
          EXPECT_EQ(host.units.back(), 100);
          for (size_t i = 1; i < host.units.size(); ++i) {
            EXPECT_GT(host.units[i], host.units[i - 1]);
            EXPECT_LE(host.units[i] - host.units[i - 1], 65536 * 100 / size + 1) << i;
          }
        }
        test::RecordingHost halting;
        halting.haltAtPoll = 0;
        EXPECT_EQ(MeasureDecodedLevels(path.string(), halting, levels, split).outcome,
                  JobOutcome::kCancelled);
        EXPECT_LT(halting.units.back(), 50);
      }
    }
  }
}

TEST(Levels, FailuresAreReportedAsTheSilenceSearchWordsThem) {
  QuietHost host;
  QuickLevels quick;
  JobReport missing = MeasureQuickLevels("/nonexistent/x.mp3", host, quick);
  EXPECT_EQ(missing.outcome, JobOutcome::kCannotOpen);
  EXPECT_STREQ(JobReportText(missing), "The file could not be opened.");
  fs::path text = Workspace::NewFolder("levels") / "not audio.mp3";
  WriteBytes(text, Bytes(5000, 'x'));
  std::vector<float> levels;
  for (const JobReport& report : {MeasureQuickLevels(text.string(), host, quick),
                                  MeasureDecodedLevels(text.string(), host, levels)}) {
    EXPECT_EQ(report.outcome, JobOutcome::kNoAudio);
    EXPECT_EQ(report.kind, JobKind::kLevels);
  }
}

// The numbers the pattern's groups catch, in order, wherever it matches.
std::vector<double> Numbers(const std::string& svg, const std::string& pattern) {
  std::vector<double> numbers;
  std::regex element(pattern);
  for (std::sregex_iterator it(svg.begin(), svg.end(), element), end; it != end; ++it) {
    for (size_t group = 1; group < it->size(); ++group) numbers.push_back(std::stod((*it)[group]));
  }
  return numbers;
}

// The picture is valid XML, and its marks and pauses sit where their times put them on the
// axis (a 6 s source: the axis spans 6 s).
TEST(Levels, OverviewMarksSitAtTheirTimes) {
  fs::path source = MakeSource(Recipes().front());
  fs::path folder = Workspace::NewFolder("overview");
  fs::path cue = folder / "album.cue";
  WriteBytes(cue, [] {
    std::string text =
        "TITLE \"Album\"\nFILE \"x.mp3\" MP3\n"
        "  TRACK 01 AUDIO\n    TITLE \"Intro & <Theme>\"\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    TITLE \"Second\"\n    INDEX 01 00:02:30\n";
    return Bytes(text.begin(), text.end());
  }());
  struct Case {
    std::vector<std::string> args;
    std::vector<double> marks;  // seconds
  };
  const Case cases[] = {
      {{"--times", "0:00,0:01.50,0:04.25,0:05.99"}, {0, 1.5, 4.25, 5.99}},
      {{"--cue", cue.string(), "--width", "640"}, {0, 2.4}},
      {{"--silences", "--width", "2000"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    fs::path svg = folder / "picture.svg";
    std::vector<std::string> args = {"overview", source.string(), "--svg", svg.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Outcome o = Cli(args);
    ASSERT_EQ(o.exit, 0) << o;
    EXPECT_EQ(MustRun({"xmllint", "--noout", svg.string()}).err, "");
    std::string text = ReadText(svg);
    std::vector<double> axis =
        Numbers(text, "class=\"axis\" x1=\"([0-9.]+)\" y1=\"[0-9.]+\" x2=\"([0-9.]+)\"");
    ASSERT_EQ(axis.size(), 2u);
    std::vector<double> marks = Numbers(text, "class=\"mark\" x1=\"([0-9.]+)\"");
    ASSERT_EQ(marks.size(), c.marks.size());
    for (size_t i = 0; i < marks.size(); ++i) {
      EXPECT_NEAR(marks[i], axis[0] + c.marks[i] / 6.0 * (axis[1] - axis[0]), 0.06) << i;
    }
    if (c.args[0] == "--cue") {
      EXPECT_TRUE(Contains(text, "Intro &amp; &lt;Theme&gt;"));
    }
    if (c.args[0] == "--silences") {
      // The second of digital silence at the end is the run-out, not a pause; the legend
      // names the pauses all the same.
      EXPECT_TRUE(Contains(text, "pause found"));
    }
  }
  // The picture never replaces its source.
  Bytes before = ReadBytes(source);
  EXPECT_EQ(Cli({"overview", source.string(), "--svg", source.string()}).exit, 1);
  EXPECT_TRUE(SameBytes(ReadBytes(source), before));
}

}  // namespace
