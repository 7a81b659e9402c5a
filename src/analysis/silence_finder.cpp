#include "analysis/silence_finder.h"

#include <algorithm>

namespace partwell {
namespace {

constexpr int64_t kHalfMedian = kMedianLength / 2;

// The median of a run's levels: the pause's own level, whatever its edges hold.
float MedianLevel(std::vector<float>& run) {
  auto middle = run.begin() + static_cast<std::ptrdiff_t>(run.size() / 2);
  std::nth_element(run.begin(), middle, run.end());
  return *middle;
}

// Longer first, then quieter, then earlier.
bool MoreLikelyAPause(const Silence& a, const Silence& b) {
  if (a.length() != b.length()) return a.length() > b.length();
  if (a.levelDb != b.levelDb) return a.levelDb < b.levelDb;
  return a.start < b.start;
}

}  // namespace

float SilenceFinder::MedianAround(int64_t centre) const {
  // The levels before the first and after the newest are those two repeated.
  std::array<float, kMedianLength> window;
  for (int64_t j = 0; j < kMedianLength; ++j) {
    const int64_t at = std::clamp<int64_t>(centre + j - kHalfMedian, 0, added_ - 1);
    window[static_cast<size_t>(j)] = recent_[static_cast<size_t>(at % kMedianLength)];
  }
  auto middle = window.begin() + kHalfMedian;
  std::nth_element(window.begin(), middle, window.end());
  return *middle;
}

void SilenceFinder::Add(const float* levels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    recent_[static_cast<size_t>(added_ % kMedianLength)] = levels[i];
    ++added_;
    if (runStart_ >= 0) run_.push_back(levels[i]);
    if (added_ > kHalfMedian) Smoothed(smoothed_, MedianAround(smoothed_));
  }
}

void SilenceFinder::Smoothed(int64_t index, float smoothed) {
  ++smoothed_;
  while (!pending_.empty() && pending_.front().end + kEndMargin <= index) {
    silences_.push_back(pending_.front());
    pending_.pop_front();
  }
  const bool quiet = smoothed < settings_.thresholdDb;
  if (quiet && runStart_ < 0) {
    runStart_ = index;
    // The run's raw levels from its start on: the ring's newest kHalfMedian + 1 or fewer.
    run_.clear();
    for (int64_t at = index; at < added_; ++at) {
      run_.push_back(recent_[static_cast<size_t>(at % kMedianLength)]);
    }
  } else if (!quiet && runStart_ >= 0) {
    EndRun(index);
  }
}

void SilenceFinder::EndRun(int64_t end) {
  const int64_t start = runStart_;
  runStart_ = -1;
  // run_ holds the raw levels from start on, a few beyond the end included.
  run_.resize(static_cast<size_t>(end - start));
  if (start >= kEndMargin && end - start >= settings_.minPause) {
    Silence silence;
    silence.start = start;
    silence.end = end;
    silence.levelDb = MedianLevel(run_);
    silence.cut = std::max(end - kLeadIn, (start + end) / 2);
    pending_.push_back(silence);
  }
  run_.clear();
}

std::vector<Silence> SilenceFinder::Finish() {
  // The last levels' windows reach past the end.
  const int64_t count = added_;
  while (smoothed_ < count) Smoothed(smoothed_, MedianAround(smoothed_));
  // A run that reaches the end is the run-out; so is one that ends within kEndMargin of it.
  runStart_ = -1;
  for (const Silence& silence : pending_) {
    if (silence.end <= count - kEndMargin) silences_.push_back(silence);
  }
  pending_.clear();
  std::vector<Silence> silences = std::move(silences_);
  if (settings_.tracks >= 1) {
    size_t wanted = std::min(silences.size(), static_cast<size_t>(settings_.tracks - 1));
    std::partial_sort(silences.begin(), silences.begin() + static_cast<std::ptrdiff_t>(wanted),
                      silences.end(), MoreLikelyAPause);
    silences.resize(wanted);
    std::sort(silences.begin(), silences.end(),
              [](const Silence& a, const Silence& b) { return a.start < b.start; });
  }
  return silences;
}

std::vector<Silence> FindSilences(const std::vector<float>& levels,
                                  const SilenceSettings& settings) {
  SilenceFinder finder(settings);
  finder.Add(levels.data(), levels.size());
  return finder.Finish();
}

}  // namespace partwell
