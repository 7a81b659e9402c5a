#include "split/track_plan.h"

namespace partwell {

std::optional<TrackBounds> TrackPlanner::Track(int64_t index) const {
  if (index < 0) return std::nullopt;
  if (equalSegments_) {
    if (positions_.size() < 2) return std::nullopt;
    int64_t length = positions_[1];
    return TrackBounds{index * length, (index + 1) * length};
  }
  size_t at = static_cast<size_t>(index);
  if (at >= positions_.size()) return std::nullopt;
  TrackBounds bounds{positions_[at], std::nullopt};
  if (at + 1 < positions_.size()) bounds.end = positions_[at + 1];
  return bounds;
}

}  // namespace partwell
