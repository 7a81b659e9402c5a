// Loudness levels of a source: the RMS level over all channels of each 10 ms of its
// timeline, in dBFS, measured by decoding the source in bounded memory. The decoder is a
// backend behind MeasureLoudness; LevelMeter turns any decoder's raw output into levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/file.h"
#include "mpeg/stream_scan.h"
#include "job/job_host.h"

namespace partwell {

constexpr int kLevelsPerSecond = 100;
// The level of digital silence, and the lowest level measured.
constexpr float kSilenceFloorDb = -120.0f;

enum class LevelsOutcome {
  kCompleted,
  kCancelled,    // the host asked for a halt
  kCannotOpen,   // the source could not be opened
  kReadFailed,   // a read of the source failed
  kNoAudio,      // no MPEG audio that the decoder could decode
  kDecoderFailed,
};

struct LoudnessLevels {
  LevelsOutcome outcome = LevelsOutcome::kNoAudio;
  std::vector<float> levels;  // level i covers [i/100 s, (i+1)/100 s) of the timeline
  std::string failureReason;  // the system's or the decoder's words for a failure
};

// Measures the levels of the open source on `timeline`. Before each read of the source it
// asks host.HaltRequested(); each time the share of the file read reaches a new whole
// percent it calls host.UnitStarted(percent), from 0 to 100. It does not call
// host.JobStarted(): the caller's job decides when it has started. The levels end where
// the timeline or the decoder's output ends, whichever comes first.
LoudnessLevels MeasureLoudness(File& source, const SourceTimeline& timeline, JobHost& host);

// The words a front end shows for an outcome other than kCompleted.
const char* LevelsOutcomeText(LevelsOutcome outcome);

// Windows of 10 ms over the timeline: window k holds the timeline's samples
// [floor(k x rate / 100), floor((k + 1) x rate / 100)), the last one cut at its end.
class LevelMeter {
 public:
  LevelMeter(const SourceTimeline& timeline, long sampleRate);
  // Adds the next `frames` samples per channel of raw output, `channels` interleaved
  // values each, at full scale 1.0.
  void Add(const float* samples, size_t frames, int channels);
  // The whole timeline has been measured.
  bool Full() const { return rawPosition_ >= rawEnd_; }
  // The levels, the window in progress included when it holds any sample.
  std::vector<float> TakeLevels();

 private:
  void CloseWindow();
  uint64_t WindowEnd() const;

  uint64_t rawStart_;
  uint64_t rawEnd_;
  long rate_;
  uint64_t rawPosition_ = 0;  // samples per channel of raw output seen
  uint64_t window_ = 0;       // the window being filled
  uint64_t windowEnd_;        // its end, in raw output
  double sum_ = 0;            // its sum of squares
  uint64_t values_ = 0;       // and the number of values in it
  std::vector<float> levels_;
};

}  // namespace partwell
