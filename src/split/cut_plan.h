// The arithmetic of a cut-out: the source's timeline less a set of ranges, as one file.
//
// Ranges that reach the start or the end of the timeline are trims, sample-exact through
// the delay and padding of the file's tag as for an exact track. Ranges inside are frame
// seams: their ends move to the nearest frame boundaries of the source (in raw samples,
// where frames begin), and the frames between are left out whole, so that every kept
// frame is a frame of the source. A seam that reaches a trim (its frames begin at or before
// the first kept sample, or end at or after the last) becomes part of that trim.
#pragma once

#include <cstdint>
#include <vector>

#include "split/exact_layout.h"

namespace partwell {

// Timeline samples [start, end).
struct SampleRange {
  int64_t start = 0;
  int64_t end = 0;
};

// Source frames [first, end) left out between two kept ones, for the range `asked` (merged
// with the ranges whose frames touch it).
struct FrameSeam {
  int64_t first = 0;
  int64_t end = 0;
  SampleRange asked;
};

enum class CutRefusal { kNone, kRemovesEverything, kPastEnd };

struct CutPlan {
  CutRefusal refusal = CutRefusal::kNone;
  int64_t keptStart = 0;         // timeline samples of the first kept sample ...
  int64_t keptEnd = 0;           // ... and of the sample after the last
  std::vector<FrameSeam> seams;  // in order, each strictly inside the kept stretch
  int64_t samples = 0;           // what the file plays
};

// Plans the cut of a timeline `length` samples long. A range that starts at or after the
// end is refused; one that ends after it is taken to end there; ranges that overlap or touch
// are merged; empty ones are passed over.
CutPlan PlanCut(const CutSource& source, int64_t length, std::vector<SampleRange> ranges);

// The timeline sample where frame `frame` begins (negative for the frames before the
// timeline).
inline int64_t FrameStartSample(const CutSource& source, int64_t frame) {
  return frame * source.samplesPerFrame - source.delay - kDecoderDelay;
}

// The ranges that keep only `kept` of a timeline `length` samples long.
std::vector<SampleRange> RangesKeeping(SampleRange kept, int64_t length);

}  // namespace partwell
