#include "analysis/loudness_levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace partwell {
namespace {

// Levels reserved up front for a timeline of this length or longer: ten hours. Longer
// sources grow the array as they go.
constexpr uint64_t kMostReservedLevels = uint64_t{10} * 3600 * kLevelsPerSecond;

float DecibelsOf(double sumOfSquares, uint64_t values) {
  if (values == 0 || sumOfSquares <= 0) return kSilenceFloorDb;
  double level = 10.0 * std::log10(sumOfSquares / static_cast<double>(values));
  return static_cast<float>(std::max(level, double{kSilenceFloorDb}));
}

}  // namespace

LevelMeter::LevelMeter(const SourceTimeline& timeline, long sampleRate)
    : rawStart_(timeline.rawStart),
      rawEnd_(timeline.rawStart +
              std::min(timeline.length, std::numeric_limits<uint64_t>::max() - timeline.rawStart)),
      rate_(std::max(sampleRate, 1L)) {
  windowEnd_ = WindowEnd();
  uint64_t expected = timeline.length / static_cast<uint64_t>(rate_) * kLevelsPerSecond + 1;
  levels_.reserve(static_cast<size_t>(std::min(expected, kMostReservedLevels)));
}

uint64_t LevelMeter::WindowEnd() const {
  // The timeline's sample that starts window k + 1, as raw position, cut at the end.
  uint64_t offset = (window_ + 1) * static_cast<uint64_t>(rate_) / kLevelsPerSecond;
  return std::min(rawEnd_, rawStart_ + offset);
}

void LevelMeter::CloseWindow() {
  levels_.push_back(DecibelsOf(sum_, values_));
  sum_ = 0;
  values_ = 0;
  ++window_;
  windowEnd_ = WindowEnd();
}

void LevelMeter::Add(const float* samples, size_t frames, int channels) {
  const size_t width = static_cast<size_t>(std::max(channels, 1));
  const uint64_t addedEnd = rawPosition_ + frames;
  if (rawPosition_ < rawStart_) {
    size_t skipped = static_cast<size_t>(std::min<uint64_t>(rawStart_ - rawPosition_, frames));
    samples += skipped * width;
    rawPosition_ += skipped;
  }
  while (rawPosition_ < addedEnd && rawPosition_ < rawEnd_) {
    size_t take = static_cast<size_t>(std::min(addedEnd, windowEnd_) - rawPosition_);
    double sum = 0;
    for (const float* end = samples + take * width; samples < end; ++samples) {
      sum += double{*samples} * *samples;
    }
    sum_ += sum;
    values_ += take * width;
    rawPosition_ += take;
    if (rawPosition_ == windowEnd_) CloseWindow();
  }
  rawPosition_ = addedEnd;
}

std::vector<float> LevelMeter::TakeLevels() {
  if (values_ > 0) CloseWindow();
  return std::move(levels_);
}

const char* LevelsOutcomeText(LevelsOutcome outcome) {
  switch (outcome) {
    case LevelsOutcome::kCompleted:
      return "The levels have been measured.";
    case LevelsOutcome::kCancelled:
      return "Listening has been cancelled.";
    case LevelsOutcome::kCannotOpen:
      return "The file could not be opened.";
    case LevelsOutcome::kReadFailed:
      return "There has been a file error while listening to the file.  Please try again.";
    case LevelsOutcome::kNoAudio:
      return "The file you chose was either invalid, corrupted, or could not be opened at this "
             "time.";
    case LevelsOutcome::kDecoderFailed:
      return "The MP3 decoder could not be started.";
  }
  return "";
}

}  // namespace partwell
