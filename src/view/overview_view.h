// The Overview's arithmetic, apart from any window: the stretch of the timeline that the
// zoomed view shows and its mapping to pixels, zoom from the whole source to one frame,
// the ruler's ticks, the cursor's steps, the level of a column, and the track marks under
// the pointer and where a dragged mark may go. Positions are samples of the timeline;
// marks are the track time list's offsets, in hundredths of a second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/quick_levels.h"

namespace partwell {

// Samples and hundredths of a second at `rate` samples per second (hundredths rounded down).
int64_t SampleOfOffset(int64_t offset, long rate);
int64_t OffsetOfSample(int64_t sample, long rate);
// The position readout "mmm:ss.pp" of a sample.
std::string PositionText(int64_t sample, long rate);

class TimelineView {
 public:
  // A view of `length` samples (at least one) at `rate`, whose smallest span is one frame
  // of `samplesPerFrame`; it starts showing the whole timeline on `width` pixels.
  TimelineView(int64_t length, long rate, int samplesPerFrame, int width);

  int64_t length() const { return length_; }
  long rate() const { return rate_; }
  int64_t start() const { return start_; }
  int64_t span() const { return span_; }
  int width() const { return width_; }

  void SetWidth(int width);
  // The pixel column of a sample (may lie outside the view), and the first sample of a
  // column (clamped to the timeline).
  int XOfSample(int64_t sample) const;
  int64_t SampleOfX(int x) const;

  // Zooms in (steps > 0) or out by a factor of two a step, keeping the sample under column
  // `anchorX` where it is; the span stays between one frame and the whole timeline.
  void Zoom(int steps, int anchorX);
  // Shows from `start` on, kept inside the timeline.
  void ScrollTo(int64_t start);
  // Scrolls as little as needed for `sample` to be in view.
  void Reveal(int64_t sample);

 private:
  int64_t length_;
  long rate_;
  int64_t minSpan_;
  int width_;
  int64_t start_ = 0;
  int64_t span_;
};

// The ruler's tick offsets (hundredths) in the view, at the smallest step of a hundredth
// to an hour, in steps a reader counts in (1, 2, 5, 10, 20, 30 seconds, 1, 2, 5 minutes...),
// whose ticks lie at least `minSpacing` pixels apart.
std::vector<int64_t> RulerTicks(const TimelineView& view, int minSpacing);

// Where the cursor goes from `sample` for a step of `frames` frames or `seconds` seconds
// (negative: back), kept inside [0, length].
int64_t StepCursor(const TimelineView& view, int64_t sample, int samplesPerFrame, int frames,
                   int seconds);

// The loudest of the 10 ms levels that samples [from, to) touch (the one holding `from`
// when the stretch is shorter), as a share of the height: -60 dBFS and below is 0, 0 dBFS 1.
// Nothing when the levels do not reach that far yet.
std::optional<float> ColumnLevel(const std::vector<float>& levels, int64_t from, int64_t to,
                                 long rate);

// The quick levels on the 10 ms grid of the decoded ones, so that both draw alike: each
// 10 ms of the timeline gets the loudest granule that overlaps it.
std::vector<float> LevelsOnHundredths(const QuickLevels& quick);

// The mark (index into `offsets`) nearest to column x within `tolerance` pixels, if any.
std::optional<size_t> MarkAt(const TimelineView& view, const std::vector<int32_t>& offsets, int x,
                             int tolerance);

// Where mark `index` of the ascending `offsets` may be dragged to when the pointer is at
// `wanted` hundredths: strictly between its neighbours (no two marks alike, the order
// kept), inside the timeline. Nothing for the zero marker, which stays.
std::optional<int32_t> DraggedOffset(const std::vector<int32_t>& offsets, size_t index,
                                     int64_t wanted, int64_t lengthOffset);

}  // namespace partwell
