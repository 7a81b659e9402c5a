// Finds the pauses of a recording in its loudness levels (one per 10 ms, see
// loudness_levels.h) and proposes where the next track starts in each. Times are in
// hundredths of a second of the source's timeline.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace partwell {

constexpr float kDefaultThresholdDb = -48.0f;
constexpr int kMusicMinPause = 50;    // 0.5 s, between songs
constexpr int kSpeechMinPause = 120;  // 1.2 s, between chapters of an audiobook or a talk
constexpr int kTracksMinPause = 25;   // 0.25 s, when the number of tracks is given
// A silence that reaches this close to either end of the audio is its lead-in or run-out.
constexpr int kEndMargin = 50;
// The proposed start lies this far before the silence ends, or at its middle when that is
// later.
constexpr int kLeadIn = 20;
// Levels are smoothed by a running median of this many, 90 ms.
constexpr int kMedianLength = 9;

struct SilenceSettings {
  float thresholdDb = kDefaultThresholdDb;
  int minPause = kMusicMinPause;  // hundredths
  // With a number of tracks (1 or more): only the tracks - 1 likeliest silences, the
  // longer before the shorter, then the quieter, then the earlier. 0: every silence.
  int tracks = 0;
};

struct Silence {
  int64_t start = 0;  // the first smoothed level below the threshold
  int64_t end = 0;    // the first at or above it again
  float levelDb = 0;  // the median of the silence's levels
  int64_t cut = 0;    // the proposed start of the next track

  int64_t length() const { return end - start; }
};

// The silences, in order: runs of smoothed levels below the threshold, at least minPause
// long, that neither begin within kEndMargin of the start nor end within kEndMargin of the
// end. Each proposes max(end - kLeadIn, floor((start + end) / 2)).
std::vector<Silence> FindSilences(const std::vector<float>& levels,
                                  const SilenceSettings& settings);

// FindSilences on levels that arrive a few at a time: the running median and the runs are
// worked out as they come, so that only the levels of the run in progress are kept (the
// silence's own level is their median) and memory does not grow with the recording.
class SilenceFinder {
 public:
  explicit SilenceFinder(const SilenceSettings& settings) : settings_(settings) {}
  // The next levels of the recording.
  void Add(const float* levels, size_t count);
  // The recording has ended: the silences FindSilences gives for all the levels added.
  std::vector<Silence> Finish();

 private:
  // Smoothed level `index` is known.
  void Smoothed(int64_t index, float smoothed);
  void EndRun(int64_t end);
  // The median of the kMedianLength levels centred on level `centre`, which the ring holds.
  float MedianAround(int64_t centre) const;

  SilenceSettings settings_;
  // The running median's last kMedianLength levels (fewer at the start), in a ring.
  std::array<float, kMedianLength> recent_{};
  int64_t added_ = 0;
  std::vector<float> run_;  // the levels of the run below the threshold in progress
  int64_t runStart_ = -1;   // -1: no run in progress
  int64_t smoothed_ = 0;    // smoothed levels seen
  // Runs that ended less than kEndMargin before the last level: the end may yet be near.
  std::deque<Silence> pending_;
  std::vector<Silence> silences_;
};

}  // namespace partwell
