#include "analysis/silence_finder.h"

#include <algorithm>
#include <array>

namespace partwell {
namespace {

// The median of the levels [start, end): the pause's own level, whatever its edges hold.
float MedianLevel(const std::vector<float>& levels, int64_t start, int64_t end) {
  std::vector<float> run(levels.begin() + start, levels.begin() + end);
  auto middle = run.begin() + static_cast<std::ptrdiff_t>(run.size() / 2);
  std::nth_element(run.begin(), middle, run.end());
  return *middle;
}

Silence MakeSilence(const std::vector<float>& levels, int64_t start, int64_t end) {
  Silence silence;
  silence.start = start;
  silence.end = end;
  silence.levelDb = MedianLevel(levels, start, end);
  silence.cut = std::max(end - kLeadIn, (start + end) / 2);
  return silence;
}

// Longer first, then quieter, then earlier.
bool MoreLikelyAPause(const Silence& a, const Silence& b) {
  if (a.length() != b.length()) return a.length() > b.length();
  if (a.levelDb != b.levelDb) return a.levelDb < b.levelDb;
  return a.start < b.start;
}

// The running median of kMedianLength levels centred on each, the edge levels repeated
// beyond the ends.
std::vector<float> SmoothLevels(const std::vector<float>& levels) {
  const int64_t count = static_cast<int64_t>(levels.size());
  std::vector<float> smoothed(levels.size());
  std::array<float, kMedianLength> window;
  for (int64_t i = 0; i < count; ++i) {
    for (int j = 0; j < kMedianLength; ++j) {
      int64_t at = std::clamp<int64_t>(i + j - kMedianLength / 2, 0, count - 1);
      window[static_cast<size_t>(j)] = levels[static_cast<size_t>(at)];
    }
    auto middle = window.begin() + kMedianLength / 2;
    std::nth_element(window.begin(), middle, window.end());
    smoothed[static_cast<size_t>(i)] = *middle;
  }
  return smoothed;
}

}  // namespace

std::vector<Silence> FindSilences(const std::vector<float>& levels, const SilenceSettings& settings) {
  const std::vector<float> smoothed = SmoothLevels(levels);
  const int64_t count = static_cast<int64_t>(smoothed.size());
  std::vector<Silence> silences;
  for (int64_t i = 0; i < count;) {
    if (!(smoothed[static_cast<size_t>(i)] < settings.thresholdDb)) {
      ++i;
      continue;
    }
    int64_t start = i;
    while (i < count && smoothed[static_cast<size_t>(i)] < settings.thresholdDb) ++i;
    if (start >= kEndMargin && i <= count - kEndMargin && i - start >= settings.minPause) {
      silences.push_back(MakeSilence(levels, start, i));
    }
  }
  if (settings.tracks >= 1) {
    size_t wanted = std::min(silences.size(), static_cast<size_t>(settings.tracks - 1));
    std::partial_sort(silences.begin(), silences.begin() + static_cast<std::ptrdiff_t>(wanted),
                      silences.end(), MoreLikelyAPause);
    silences.resize(wanted);
    std::sort(silences.begin(), silences.end(),
              [](const Silence& a, const Silence& b) { return a.start < b.start; });
  }
  return silences;
}

}  // namespace partwell
