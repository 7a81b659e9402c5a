#include "view/overview_view.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "split/track_time.h"

namespace partwell {
namespace {

constexpr float kFloorDb = -60.0f;
// The track time list's last time, 999:59.99.
constexpr int64_t kLastListOffset = 999 * 6000 + 5999;
constexpr int64_t kRulerSteps[] = {1,     2,     5,     10,     20,    50,   100,
                                   200,   500,   1000,  2000,   3000,  6000, 12000,
                                   30000, 60000, 90000, 180000, 360000};

}  // namespace

int64_t SampleOfOffset(int64_t offset, long rate) { return offset * rate / 100; }

int64_t OffsetOfSample(int64_t sample, long rate) { return sample * 100 / rate; }

std::string PositionText(int64_t sample, long rate) {
  return FormatTimeText(TimePartsOfOffset(OffsetOfSample(sample, rate)));
}

TimelineView::TimelineView(int64_t length, long rate, int samplesPerFrame, int width)
    : length_(std::max<int64_t>(length, 1)),
      rate_(rate),
      minSpan_(std::min<int64_t>(samplesPerFrame, length_)),
      width_(std::max(width, 1)),
      span_(length_) {}

void TimelineView::SetWidth(int width) { width_ = std::max(width, 1); }

int TimelineView::XOfSample(int64_t sample) const {
  return static_cast<int>((sample - start_) * width_ / span_);
}

int64_t TimelineView::SampleOfX(int x) const {
  return std::clamp<int64_t>(start_ + static_cast<int64_t>(x) * span_ / width_, 0, length_);
}

void TimelineView::Zoom(int steps, int anchorX) {
  int64_t anchor = SampleOfX(anchorX);
  int64_t span = span_;
  for (; steps > 0 && span > minSpan_; --steps) span = std::max(span / 2, minSpan_);
  for (; steps < 0 && span < length_; ++steps) span = std::min(span * 2, length_);
  span_ = span;
  ScrollTo(anchor - static_cast<int64_t>(anchorX) * span_ / width_);
}

void TimelineView::ScrollTo(int64_t start) {
  start_ = std::clamp<int64_t>(start, 0, length_ - span_);
}

void TimelineView::Reveal(int64_t sample) {
  if (sample < start_) {
    ScrollTo(sample);
  } else if (sample >= start_ + span_) {
    ScrollTo(sample - span_ + 1);
  }
}

std::vector<int64_t> RulerTicks(const TimelineView& view, int minSpacing) {
  int64_t step = std::end(kRulerSteps)[-1];
  for (int64_t candidate : kRulerSteps) {
    // Pixels between ticks: candidate hundredths at width / span pixels a sample.
    if (SampleOfOffset(candidate, view.rate()) * view.width() >=
        static_cast<int64_t>(minSpacing) * view.span()) {
      step = candidate;
      break;
    }
  }
  std::vector<int64_t> ticks;
  int64_t first = (OffsetOfSample(view.start(), view.rate()) + step - 1) / step * step;
  int64_t end = view.start() + view.span();
  for (int64_t tick = first; SampleOfOffset(tick, view.rate()) <= end; tick += step) {
    ticks.push_back(tick);
  }
  return ticks;
}

int64_t StepCursor(const TimelineView& view, int64_t sample, int samplesPerFrame, int frames,
                   int seconds) {
  int64_t moved = sample + static_cast<int64_t>(frames) * samplesPerFrame +
                  static_cast<int64_t>(seconds) * view.rate();
  return std::clamp<int64_t>(moved, 0, view.length());
}

std::optional<float> ColumnLevel(const std::vector<float>& levels, int64_t from, int64_t to,
                                 long rate) {
  size_t first = static_cast<size_t>(OffsetOfSample(from, rate));
  size_t last = static_cast<size_t>(OffsetOfSample(std::max(to - 1, from), rate));
  if (first >= levels.size()) return std::nullopt;
  last = std::min(last, levels.size() - 1);
  float loudest = *std::max_element(levels.begin() + first, levels.begin() + last + 1);
  return std::clamp((loudest - kFloorDb) / -kFloorDb, 0.0f, 1.0f);
}

std::vector<float> LevelsOnHundredths(const QuickLevels& quick) {
  std::vector<float> levels;
  if (quick.levelsDb.empty() || quick.sampleRate <= 0) return levels;
  int64_t rate = quick.sampleRate, length = static_cast<int64_t>(quick.timelineLength);
  int64_t last = static_cast<int64_t>(quick.levelsDb.size()) - 1;
  auto granuleOf = [&](int64_t sample) {
    int64_t from = sample - quick.firstSample;
    int64_t granule = from >= 0 ? from / kGranuleSamples : -1;
    return static_cast<size_t>(std::clamp<int64_t>(granule, 0, last));
  };
  for (int64_t k = 0; k * rate / 100 < length; ++k) {
    size_t first = granuleOf(k * rate / 100), end = granuleOf((k + 1) * rate / 100 - 1) + 1;
    levels.push_back(
        *std::max_element(quick.levelsDb.begin() + first, quick.levelsDb.begin() + end));
  }
  return levels;
}

std::optional<size_t> MarkAt(const TimelineView& view, const std::vector<int32_t>& offsets, int x,
                             int tolerance) {
  std::optional<size_t> nearest;
  int best = tolerance + 1;
  for (size_t i = 0; i < offsets.size(); ++i) {
    int distance = std::abs(view.XOfSample(SampleOfOffset(offsets[i], view.rate())) - x);
    if (distance < best) {
      best = distance;
      nearest = i;
    }
  }
  return nearest;
}

std::optional<int32_t> DraggedOffset(const std::vector<int32_t>& offsets, size_t index,
                                     int64_t wanted, int64_t lengthOffset) {
  if (index >= offsets.size() || offsets[index] == 0) return std::nullopt;
  int64_t low = index > 0 ? offsets[index - 1] + 1 : 1;
  int64_t high =
      index + 1 < offsets.size() ? offsets[index + 1] - 1 : std::min(lengthOffset, kLastListOffset);
  if (low > high) return std::nullopt;
  return static_cast<int32_t>(std::clamp(wanted, low, high));
}

}  // namespace partwell
