// The track planner: turns the track time list into the bounds of each track, in the unit
// a writer cuts in (hundredths of a second for the documented split, samples for the exact
// split). Both writers ask it for one track after another until the audio ends.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace partwell {

struct TrackBounds {
  int64_t start = 0;
  std::optional<int64_t> end;  // nothing: the track runs to the end of the audio
};

class TrackPlanner {
 public:
  // `positions` are the list's entries in the writer's unit, in the list's order.
  TrackPlanner(std::vector<int64_t> positions, bool equalSegments)
      : positions_(std::move(positions)), equalSegments_(equalSegments) {}

  // Track `index` (0-based), or nothing past the last track of the list. A track runs from
  // its entry to the next one; the last runs to the end. In equal segments track i is
  // [i x p, (i + 1) x p) with p the second entry's position, and the list never ends: the
  // writer stops at the end of the audio.
  std::optional<TrackBounds> Track(int64_t index) const;

 private:
  std::vector<int64_t> positions_;
  bool equalSegments_;
};

// Whether the list's track with `bounds` is written by an exact split: a track past the end
// of the timeline, or a list whose times stop rising, ends the tracks.
inline bool TrackIsWritten(const TrackBounds& bounds, int64_t timelineEnd) {
  return bounds.start < timelineEnd && (!bounds.end || *bounds.end > bounds.start);
}

}  // namespace partwell
