// The parts of a source marked removed in the Overview, kept as the cut takes them: ranges
// of hundredths of a second in order, none overlapping or touching another (the last may
// run to the end of the audio). A selection of timeline samples becomes such a range at the
// hundredths the position readout shows; ranges are drawn and hit at the samples the cut
// takes them at, hatched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "split/cut_plan.h"
#include "split/split_job.h"

namespace partwell {

class RemovedRanges {
 public:
  const std::vector<TimeRange>& ranges() const { return ranges_; }
  bool empty() const { return ranges_.empty(); }
  void Clear() { ranges_.clear(); }

  // X on a selection: marks `range` removed, merged with every range it overlaps or
  // touches; or, when all of it is removed already, keeps it again (a range it falls
  // inside stays on either side of it).
  void Toggle(const TimeRange& range);
  // X on a removed range: range `index` is kept again.
  void Restore(size_t index);
  // The range that holds timeline sample `sample` of a timeline `length` samples long at
  // `rate`, if any.
  std::optional<size_t> RangeAt(int64_t sample, int rate, int64_t length) const;

 private:
  std::vector<TimeRange> ranges_;
};

// The range a selection of samples [from, to) or [to, from) stands for: each end at the
// hundredth the position readout shows for it, an end at `length` to the end of the audio.
// Nothing when it holds no hundredth.
std::optional<TimeRange> RangeOfSelection(int64_t from, int64_t to, int rate, int64_t length);

// Timeline samples of `range`, as the cut takes them.
SampleRange SamplesOfRange(const TimeRange& range, int rate, int64_t length);

// The hatching of columns [left, right) of a band `height` pixels high: lines rising to the
// right, one wherever column + row is a multiple of `spacing` (so that neighbouring bands
// hatch alike), each from its lowest pixel to its highest, both inside the band.
struct HatchLine {
  int x0, y0;  // y 0 is the band's top
  int x1, y1;
};
std::vector<HatchLine> Hatching(int left, int right, int height, int spacing);

}  // namespace partwell
