#include "view/removed_ranges.h"

#include <algorithm>
#include <limits>

#include "view/overview_view.h"

namespace partwell {
namespace {

constexpr int64_t kToTheEnd = std::numeric_limits<int64_t>::max();

int64_t EndOf(const TimeRange& range) { return range.end.value_or(kToTheEnd); }

TimeRange RangeOf(int64_t start, int64_t end) {
  return {start, end == kToTheEnd ? std::nullopt : std::optional<int64_t>(end)};
}

}  // namespace

void RemovedRanges::Toggle(const TimeRange& range) {
  const int64_t start = range.start, end = EndOf(range);
  auto holder = std::find_if(ranges_.begin(), ranges_.end(), [&](const TimeRange& r) {
    return r.start <= start && end <= EndOf(r);
  });
  if (holder != ranges_.end()) {
    std::vector<TimeRange> kept;
    if (holder->start < start) kept.push_back(RangeOf(holder->start, start));
    if (end < EndOf(*holder)) kept.push_back(RangeOf(end, EndOf(*holder)));
    ranges_.insert(ranges_.erase(holder), kept.begin(), kept.end());
    return;
  }
  // Every range from the first that reaches `start` to the last that `end` reaches merges.
  auto first = std::find_if(ranges_.begin(), ranges_.end(),
                            [&](const TimeRange& r) { return EndOf(r) >= start; });
  auto last = std::find_if(first, ranges_.end(), [&](const TimeRange& r) { return r.start > end; });
  TimeRange merged = RangeOf(start, end);
  if (first != last) {
    merged = RangeOf(std::min(start, first->start), std::max(end, EndOf(*(last - 1))));
  }
  ranges_.insert(ranges_.erase(first, last), merged);
}

void RemovedRanges::Restore(size_t index) {
  if (index < ranges_.size()) ranges_.erase(ranges_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::optional<size_t> RemovedRanges::RangeAt(int64_t sample, int rate, int64_t length) const {
  for (size_t i = 0; i < ranges_.size(); ++i) {
    SampleRange samples = SamplesOfRange(ranges_[i], rate, length);
    if (samples.start <= sample && sample < samples.end) return i;
  }
  return std::nullopt;
}

std::optional<TimeRange> RangeOfSelection(int64_t from, int64_t to, int rate, int64_t length) {
  const int64_t low = std::clamp<int64_t>(std::min(from, to), 0, length);
  const int64_t high = std::clamp<int64_t>(std::max(from, to), 0, length);
  TimeRange range{OffsetOfSample(low, rate), std::nullopt};
  if (high < length) range.end = OffsetOfSample(high, rate);
  if (low == high || (range.end && *range.end <= range.start)) return std::nullopt;
  return range;
}

SampleRange SamplesOfRange(const TimeRange& range, int rate, int64_t length) {
  return {std::min(HundredthsToSample(range.start, rate), length),
          range.end ? std::min(HundredthsToSample(*range.end, rate), length) : length};
}

std::vector<HatchLine> Hatching(int left, int right, int height, int spacing) {
  std::vector<HatchLine> lines;
  if (left >= right || height <= 0 || spacing <= 0) return lines;
  // The line k holds the pixels whose column + row is k.
  int k = (left + spacing - 1) / spacing * spacing;
  for (; k <= right - 1 + height - 1; k += spacing) {
    const int lowest = std::max(left, k - (height - 1)), highest = std::min(right - 1, k);
    lines.push_back({lowest, k - lowest, highest, k - highest});
  }
  return lines;
}

}  // namespace partwell
