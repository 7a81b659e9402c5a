#include "analysis/loudness_levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace partwell {
namespace {

// Levels reserved up front for a stretch of this length or longer: ten hours. Longer
// stretches grow the array as they go.
constexpr uint64_t kMostReservedLevels = uint64_t{10} * 3600 * kLevelsPerSecond;

}  // namespace

float DecibelsOf(double sumOfSquares, uint64_t values) {
  if (values == 0 || sumOfSquares <= 0) return kSilenceFloorDb;
  double level = 10.0 * std::log10(sumOfSquares / static_cast<double>(values));
  return static_cast<float>(std::max(level, double{kSilenceFloorDb}));
}

LevelMeter::LevelMeter(const SourceTimeline& timeline, long sampleRate, const RawStretch& stretch)
    : rawStart_(timeline.rawStart),
      timelineEnd_(
          timeline.rawStart +
          std::min(timeline.length, std::numeric_limits<uint64_t>::max() - timeline.rawStart)),
      rawEnd_(std::min(timelineEnd_, stretch.to)),
      countFrom_(std::max(stretch.from, rawStart_)),
      rate_(std::max(sampleRate, 1L)),
      rawPosition_(stretch.fed) {
  // The window that holds the stretch's first sample of the timeline.
  const uint64_t rate = static_cast<uint64_t>(rate_);
  const uint64_t first = countFrom_ - rawStart_;
  window_ = first * kLevelsPerSecond / rate;
  while ((window_ + 1) * rate / kLevelsPerSecond <= first) ++window_;
  firstWindow_ = window_;
  sharedHead_ = window_ * rate / kLevelsPerSecond < first;
  windowEnd_ = WindowEnd();
  const uint64_t length = rawEnd_ > countFrom_ ? rawEnd_ - countFrom_ : 0;
  const uint64_t expected = length / rate * kLevelsPerSecond + 1;
  levels_.reserve(static_cast<size_t>(std::min(expected, kMostReservedLevels)));
}

uint64_t LevelMeter::NaturalWindowEnd() const {
  // The timeline's sample that starts window k + 1, as raw position.
  return rawStart_ + (window_ + 1) * static_cast<uint64_t>(rate_) / kLevelsPerSecond;
}

uint64_t LevelMeter::WindowEnd() const { return std::min(rawEnd_, NaturalWindowEnd()); }

void LevelMeter::CloseWindow() {
  if (window_ == firstWindow_ && sharedHead_) {
    head_ = {sum_, values_};
  } else {
    levels_.push_back(DecibelsOf(sum_, values_));
  }
  sum_ = 0;
  values_ = 0;
  ++window_;
  windowEnd_ = WindowEnd();
}

void LevelMeter::Add(const float* samples, size_t frames, int channels) {
  const size_t width = static_cast<size_t>(std::max(channels, 1));
  const uint64_t addedEnd = rawPosition_ + frames;
  if (rawPosition_ < countFrom_) {
    size_t skipped = static_cast<size_t>(std::min<uint64_t>(countFrom_ - rawPosition_, frames));
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
    // A window the stretch's end cuts short stays open, for TakeLevels to leave.
    if (rawPosition_ == windowEnd_ && windowEnd_ == std::min(timelineEnd_, NaturalWindowEnd())) {
      CloseWindow();
    }
  }
  rawPosition_ = addedEnd;
}

std::vector<float> LevelMeter::TakeLevels() {
  if (values_ > 0) {
    // A stretch that stops inside a window leaves the rest of it to the next stretch.
    if (rawEnd_ < timelineEnd_ && rawPosition_ >= rawEnd_) {
      tail_ = {sum_, values_};
      sum_ = 0;
      values_ = 0;
    } else {
      CloseWindow();
    }
  }
  return std::move(levels_);
}

}  // namespace partwell
