#include "split/cut_plan.h"

#include <algorithm>

namespace partwell {

CutPlan PlanCut(const CutSource& source, int64_t length, std::vector<SampleRange> ranges) {
  CutPlan plan;
  std::sort(ranges.begin(), ranges.end(),
            [](const SampleRange& a, const SampleRange& b) { return a.start < b.start; });
  const int64_t spf = source.samplesPerFrame;
  const int64_t offset = source.delay + kDecoderDelay;
  // The kept stretch in raw samples, and the seams inside it.
  int64_t lo = offset;
  int64_t hi = length + offset;
  std::vector<FrameSeam>& seams = plan.seams;
  for (SampleRange range : ranges) {
    if (range.start < 0 || range.start >= length) {
      plan.refusal = CutRefusal::kPastEnd;
      return plan;
    }
    range.end = std::min(range.end, length);
    if (range.end <= range.start) continue;
    if (range.start == 0) {
      lo = std::max(lo, range.end + offset);
      continue;
    }
    if (range.end == length) {
      hi = std::min(hi, range.start + offset);
      continue;
    }
    const FrameSeam seam{(range.start + offset + spf / 2) / spf,
                         (range.end + offset + spf / 2) / spf, range};
    if (seam.end <= seam.first) continue;
    if (!seams.empty() && seam.first <= seams.back().end) {
      seams.back().end = std::max(seams.back().end, seam.end);
      seams.back().asked.end = std::max(seams.back().asked.end, range.end);
    } else {
      seams.push_back(seam);
    }
  }
  // Seams that reach a trim join it; what stays lies strictly inside [lo, hi).
  size_t front = 0;
  while (front < seams.size() && seams[front].first * spf <= lo) {
    lo = std::max(lo, seams[front++].end * spf);
  }
  seams.erase(seams.begin(), seams.begin() + static_cast<std::ptrdiff_t>(front));
  while (!seams.empty() && seams.back().end * spf >= hi) {
    hi = std::min(hi, seams.back().first * spf);
    seams.pop_back();
  }
  if (lo >= hi) {
    plan.refusal = CutRefusal::kRemovesEverything;
    seams.clear();
    return plan;
  }
  plan.keptStart = lo - offset;
  plan.keptEnd = hi - offset;
  plan.samples = hi - lo;
  for (const FrameSeam& seam : seams) plan.samples -= (seam.end - seam.first) * spf;
  return plan;
}

std::vector<SampleRange> RangesKeeping(SampleRange kept, int64_t length) {
  // A kept range past the end stays one, to be refused as such.
  if (kept.start >= length) return {kept};
  std::vector<SampleRange> ranges;
  if (kept.start > 0) ranges.push_back({0, kept.start});
  if (kept.end < length) ranges.push_back({kept.end, length});
  return ranges;
}

}  // namespace partwell
