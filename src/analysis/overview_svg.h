// The overview of a recording as an SVG picture, for `mp3partwell overview`: its quick
// levels from start to end over a time axis, each track start marked and numbered (with its
// title when it has one), the pauses found shaded, and a legend. Plain text: no library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/quick_levels.h"

namespace partwell {

constexpr int kNarrowestOverview = 300;
constexpr int kWidestOverview = 20000;

struct OverviewMark {
  int64_t hundredths = 0;  // of the timeline
  std::string title;       // may be empty
};

struct OverviewPause {
  int64_t start = 0;  // hundredths
  int64_t end = 0;
};

struct OverviewPicture {
  std::string name;  // the recording's, in the picture's heading
  int width = 1200;  // pixels, kNarrowestOverview to kWidestOverview
  std::vector<OverviewMark> marks;
  std::vector<OverviewPause> pauses;
  bool showPauses = false;  // the legend names the pauses even when none was found
};

// Where the time axis lies: seconds from the start of the timeline to x in pixels.
class OverviewScale {
 public:
  OverviewScale(double seconds, double left, double right)
      : seconds_(seconds > 0 ? seconds : 1), left_(left), right_(right) {}
  double X(double seconds) const { return left_ + seconds / seconds_ * (right_ - left_); }
  double left() const { return left_; }
  double right() const { return right_; }
  double seconds() const { return seconds_; }

 private:
  double seconds_;
  double left_;
  double right_;
};

// The picture of `levels` (a whole recording's) as an SVG document.
std::string OverviewSvg(const QuickLevels& levels, const OverviewPicture& picture);

}  // namespace partwell
