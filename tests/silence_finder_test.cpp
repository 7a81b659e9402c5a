// The run logic on made-up level sequences: each case is a list of stretches of one
// level, and the silences and proposed starts that must be found in it.
#include <gtest/gtest.h>

#include <vector>

#include "analysis/silence_finder.h"

namespace partwell {
namespace {

struct Stretch {
  float db;
  int hundredths;
};

struct Found {
  int64_t start;
  int64_t end;
  int64_t cut;
  bool operator==(const Found& o) const { return start == o.start && end == o.end && cut == o.cut; }
};

std::ostream& operator<<(std::ostream& os, const Found& f) {
  return os << "[" << f.start << ", " << f.end << ") cut " << f.cut;
}

std::vector<float> Levels(const std::vector<Stretch>& stretches) {
  std::vector<float> levels;
  for (const Stretch& s : stretches)
    levels.insert(levels.end(), static_cast<size_t>(s.hundredths), s.db);
  return levels;
}

// Music, a pause, music: the pause runs from 2.00 s for `pause` hundredths.
std::vector<Stretch> Pause(float db, int pause) { return {{-20, 200}, {db, pause}, {-20, 200}}; }

SilenceSettings Tracks(int tracks, int minPause = kTracksMinPause) {
  SilenceSettings settings;
  settings.tracks = tracks;
  settings.minPause = minPause;
  return settings;
}

SilenceSettings MinPause(int minPause) {
  SilenceSettings settings;
  settings.minPause = minPause;
  return settings;
}

TEST(SilenceFinder, RunsBelowTheThreshold) {
  const SilenceSettings defaults;
  // Four pauses: lengths 60, 30, 90 and 60, the last one quieter than the first.
  const std::vector<Stretch> album = {{-20, 100}, {-60, 60},  {-20, 100}, {-60, 30}, {-20, 100},
                                      {-70, 90},  {-20, 100}, {-90, 60},  {-20, 100}};
  struct Case {
    const char* name;
    std::vector<Stretch> levels;
    SilenceSettings settings;
    std::vector<Found> found;
  };
  const Case cases[] = {
      {"a pause 0.2 s before its end", Pause(-60, 100), defaults, {{200, 300, 280}}},
      {"digital silence", Pause(-120, 100), defaults, {{200, 300, 280}}},
      {"at the threshold is not below it", Pause(-48, 100), defaults, {}},
      {"just below it", Pause(-48.01f, 100), defaults, {{200, 300, 280}}},
      {"a higher threshold",
       Pause(-45, 100),
       [] {
         SilenceSettings s;
         s.thresholdDb = -40;
         return s;
       }(),
       {{200, 300, 280}}},
      {"one hundredth too short", Pause(-60, 49), defaults, {}},
      {"the minimum length", Pause(-60, 50), defaults, {{200, 250, 230}}},
      {"speech leaves sentence pauses", Pause(-60, 119), MinPause(kSpeechMinPause), {}},
      {"speech finds chapter pauses",
       Pause(-60, 120),
       MinPause(kSpeechMinPause),
       {{200, 320, 300}}},
      // Shorter than 0.4 s: the middle, rounded down.
      {"a short pause is cut in its middle", Pause(-60, 30), Tracks(2), {{200, 230, 215}}},
      {"an odd length rounds down", Pause(-60, 31), Tracks(2), {{200, 231, 215}}},
      {"0.4 s: both rules agree", Pause(-60, 40), Tracks(2), {{200, 240, 220}}},
      // The median over 9 levels: up to 4 loud ones in a row vanish, 5 split the pause; up
      // to 4 quiet ones in music vanish too.
      {"four clicks in a pause",
       {{-20, 200}, {-60, 40}, {-10, 4}, {-60, 56}, {-20, 200}},
       defaults,
       {{200, 300, 280}}},
      {"five clicks split it",
       {{-20, 200}, {-60, 60}, {-10, 5}, {-60, 60}, {-20, 200}},
       defaults,
       {{200, 260, 240}, {265, 325, 305}}},
      {"four quiet hundredths in music",
       {{-20, 200}, {-90, 4}, {-20, 96}, {-90, 4}, {-20, 200}},
       Tracks(3, 1),
       {}},
      {"five are a (short) silence",
       {{-20, 200}, {-90, 5}, {-20, 200}},
       Tracks(2, 1),
       {{200, 205, 202}}},
      // The ends: a lead-in or run-out is no pause between tracks.
      {"silence from the start",
       {{-90, 120}, {-20, 300}, {-90, 80}, {-20, 200}},
       defaults,
       {{420, 500, 480}}},
      {"silence to the end",
       {{-20, 200}, {-90, 80}, {-20, 300}, {-90, 120}},
       defaults,
       {{200, 280, 260}}},
      {"beginning 0.49 s in", {{-20, 49}, {-90, 60}, {-20, 200}}, defaults, {}},
      {"beginning 0.50 s in", {{-20, 50}, {-90, 60}, {-20, 200}}, defaults, {{50, 110, 90}}},
      {"ending 0.49 s before the end", {{-20, 200}, {-90, 60}, {-20, 49}}, defaults, {}},
      {"ending 0.50 s before the end",
       {{-20, 200}, {-90, 60}, {-20, 50}},
       defaults,
       {{200, 260, 240}}},
      {"all silent", {{-120, 1000}}, Tracks(2), {}},
      {"nothing", {}, defaults, {}},
      // A number of tracks: the longest, then the quietest, then the earliest.
      {"every pause", album, defaults, {{100, 160, 140}, {390, 480, 460}, {580, 640, 620}}},
      {"the two longest of four", album, Tracks(3), {{390, 480, 460}, {580, 640, 620}}},
      {"all four for five tracks",
       album,
       Tracks(5),
       {{100, 160, 140}, {260, 290, 275}, {390, 480, 460}, {580, 640, 620}}},
      {"more tracks than pauses",
       album,
       Tracks(9),
       {{100, 160, 140}, {260, 290, 275}, {390, 480, 460}, {580, 640, 620}}},
      {"one track", album, Tracks(1), {}},
      {"a tie goes to the quieter",
       {{-20, 100}, {-60, 60}, {-20, 100}, {-90, 60}, {-20, 100}},
       Tracks(2),
       {{260, 320, 300}}},
      {"then to the earlier",
       {{-20, 100}, {-60, 60}, {-20, 100}, {-60, 60}, {-20, 100}},
       Tracks(2),
       {{100, 160, 140}}},
      {"the minimum holds with a number of tracks",
       album,
       Tracks(5, kMusicMinPause),
       {{100, 160, 140}, {390, 480, 460}, {580, 640, 620}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Found> found;
    for (const Silence& s : FindSilences(Levels(c.levels), c.settings)) {
      found.push_back({s.start, s.end, s.cut});
    }
    EXPECT_EQ(found, c.found);
  }
}

TEST(SilenceFinder, LevelIsThePausesOwn) {
  // Edges and a click do not move the median of the pause's levels.
  std::vector<float> levels =
      Levels({{-20, 200}, {-47, 3}, {-120, 40}, {-10, 2}, {-120, 50}, {-47, 3}, {-20, 200}});
  std::vector<Silence> silences = FindSilences(levels, SilenceSettings());
  ASSERT_EQ(silences.size(), 1u);
  EXPECT_EQ(silences[0].levelDb, -120.0f);
  EXPECT_EQ(silences[0].start, 203);  // the -47 dB edges are above the threshold
  EXPECT_EQ(silences[0].end, 295);
}

}  // namespace
}  // namespace partwell
