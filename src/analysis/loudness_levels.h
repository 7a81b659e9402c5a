// Loudness levels of a source: the RMS level over all channels of each 10 ms of its
// timeline, in dBFS, measured by decoding the source in bounded memory. The decoder is a
// backend behind MeasureLoudness; LevelMeter turns any decoder's raw output into levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "io/file.h"
#include "mpeg/stream_scan.h"
#include "job/job_host.h"
#include "job/job_report.h"

namespace partwell {

constexpr int kLevelsPerSecond = 100;
// The level of digital silence, and the lowest level measured.
constexpr float kSilenceFloorDb = -120.0f;

struct LoudnessLevels {
  JobOutcome outcome = JobOutcome::kNoAudio;
  std::vector<float> levels;  // level i covers [i/100 s, (i+1)/100 s) of the timeline
  std::string failureReason;  // the system's or the decoder's words for a failure
};

// Measures the levels of the open source on `timeline` in one pass. Before each read of the
// source it asks host.HaltRequested(); each time the share of the file read reaches a new
// whole percent it calls host.UnitStarted(percent), from 0 to 100. It does not call
// host.JobStarted(): the caller's job decides when it has started. The levels end where
// the timeline or the decoder's output ends, whichever comes first.
LoudnessLevels MeasureLoudness(File& source, const SourceTimeline& timeline, JobHost& host);

// The sum of squares and the number of values of a 10 ms window that two stretches share.
struct WindowSum {
  double sum = 0;
  uint64_t values = 0;
};

// The part of the raw output a meter measures, in samples per channel of the raw output of
// the whole stream (every audio frame decoded): the decoder's output begins at `fed`, the
// meter counts it from `from` and stops at `to`. A stretch that begins or ends inside a
// window keeps its part of that window apart, to be added to its neighbour's.
struct RawStretch {
  uint64_t fed = 0;
  uint64_t from = 0;
  uint64_t to = std::numeric_limits<uint64_t>::max();
};

// Windows of 10 ms over the timeline: window k holds the timeline's samples
// [floor(k x rate / 100), floor((k + 1) x rate / 100)), the last one cut at its end.
class LevelMeter {
 public:
  LevelMeter(const SourceTimeline& timeline, long sampleRate, const RawStretch& stretch = {});
  // Adds the next `frames` samples per channel of raw output, `channels` interleaved
  // values each, at full scale 1.0.
  void Add(const float* samples, size_t frames, int channels);
  // The whole timeline, or the stretch, has been measured.
  bool Full() const { return rawPosition_ >= rawEnd_; }
  // The levels of the windows the stretch holds whole, and the window in progress when it
  // holds any sample and the timeline or the decoder's output ends in it.
  std::vector<float> TakeLevels();
  // The stretch's parts of the windows it shares with the stretches before and after it.
  const WindowSum& head() const { return head_; }
  const WindowSum& tail() const { return tail_; }

 private:
  void CloseWindow();
  uint64_t NaturalWindowEnd() const;
  uint64_t WindowEnd() const;  // cut at the timeline's or the stretch's end

  uint64_t rawStart_;
  uint64_t timelineEnd_;
  uint64_t rawEnd_;  // the timeline's end or the stretch's, the earlier
  uint64_t countFrom_;
  long rate_;
  uint64_t rawPosition_;      // of the next sample of raw output
  uint64_t window_ = 0;       // the window being filled
  uint64_t firstWindow_ = 0;  // and the stretch's first
  bool sharedHead_ = false;   // the first window began before the stretch
  uint64_t windowEnd_;        // its end, in raw output
  double sum_ = 0;            // its sum of squares
  uint64_t values_ = 0;       // and the number of values in it
  std::vector<float> levels_;
  WindowSum head_;
  WindowSum tail_;
};

// The level of a window's sum of squares over `values` values.
float DecibelsOf(double sumOfSquares, uint64_t values);

}  // namespace partwell
