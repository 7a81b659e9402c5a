// The Overview's arithmetic in one table, worked by hand on 10 s at 44.1 kHz over 1000
// pixels (441 samples a pixel when the whole timeline is shown).
#include "view/overview_view.h"

#include <gtest/gtest.h>

#include <functional>

namespace partwell {
namespace {

constexpr long kRate = 44100;
constexpr int kFrame = 1152;
constexpr int64_t kLength = 10 * kRate;

TimelineView WholeView() { return TimelineView(kLength, kRate, kFrame, 1000); }

TimelineView Zoomed(int steps, int anchorX) {
  TimelineView view = WholeView();
  view.Zoom(steps, anchorX);
  return view;
}

int64_t Mark(const std::vector<int32_t>& offsets, int x, int tolerance) {
  std::optional<size_t> mark = MarkAt(WholeView(), offsets, x, tolerance);
  return mark ? static_cast<int64_t>(*mark) : -1;
}

int64_t Dragged(const std::vector<int32_t>& offsets, size_t index, int64_t wanted, int64_t length) {
  return DraggedOffset(offsets, index, wanted, length).value_or(-1);
}

int64_t Level(const std::vector<float>& levels, int64_t from, int64_t to) {
  std::optional<float> level = ColumnLevel(levels, from, to, kRate);
  return level ? static_cast<int64_t>(*level * 100 + 0.5f) : -1;
}

// Granules of 576 samples from -576 on (the first lies before the timeline), 1728 samples.
std::vector<float> QuickOnHundredths() {
  QuickLevels quick;
  quick.sampleRate = kRate;
  quick.timelineLength = 1728;
  quick.firstSample = -576;
  quick.levelsDb = {-10.0f, -20.0f, -30.0f, -40.0f};
  return LevelsOnHundredths(quick);
}

TEST(OverviewView, MapsZoomsStepsAndDragsAsWorkedByHand) {
  const std::vector<float> levels = {-120.0f, -30.0f, 0.0f, -60.0f};
  const std::vector<int32_t> marks = {0, 500, 800};
  struct Case {
    const char* what;
    std::function<int64_t()> actual;
    int64_t expected;
  };
  const Case cases[] = {
      {"the middle sample's column", [] { return WholeView().XOfSample(kLength / 2); }, 500},
      {"the last column's sample", [] { return WholeView().SampleOfX(999); }, 999 * 441},
      {"a column past the end clamps", [] { return WholeView().SampleOfX(5000); }, kLength},
      {"one step in halves the span", [] { return Zoomed(1, 500).span(); }, kLength / 2},
      {"and keeps the anchor's sample", [] { return Zoomed(1, 500).start(); }, kLength / 4},
      {"zooming at the end stays inside", [] { return Zoomed(2, 1000).start(); },
       kLength - kLength / 4},
      {"all the way in: one frame", [] { return Zoomed(100, 300).span(); }, kFrame},
      {"one frame at the anchor", [] { return Zoomed(100, 0).start(); }, 0},
      {"in and out again: the whole",
       [] {
         TimelineView view = Zoomed(100, 700);
         view.Zoom(-100, 10);
         return view.span() + view.start();
       },
       kLength},
      {"revealing a sample past the view",
       [] {
         TimelineView view = Zoomed(3, 0);  // 1.25 s from 0
         view.Reveal(4 * kRate);
         return view.start();
       },
       4 * kRate - kLength / 8 + 1},
      {"ruler ticks every second on 1000 px",
       [] { return static_cast<int64_t>(RulerTicks(WholeView(), 80).size()); }, 11},
      {"zoomed: the first tick after the start", [] { return RulerTicks(Zoomed(1, 500), 80)[0]; },
       250},
      {"zoomed: 0.5 s apart",
       [] {
         std::vector<int64_t> ticks = RulerTicks(Zoomed(1, 500), 80);
         return ticks[1] - ticks[0];
       },
       50},
      {"a frame on", [] { return StepCursor(WholeView(), 0, kFrame, 1, 0); }, kFrame},
      {"a frame back from 0", [] { return StepCursor(WholeView(), 0, kFrame, -1, 0); }, 0},
      {"10 s on from 5 s clamps", [] { return StepCursor(WholeView(), 5 * kRate, kFrame, 0, 10); },
       kLength},
      {"a column inside digital silence", [&] { return Level(levels, 0, 441); }, 0},
      {"a column over two levels: the loudest", [&] { return Level(levels, 441, 1323); }, 100},
      {"a column inside one level", [&] { return Level(levels, 500, 600); }, 50},
      {"a column of -60 dBFS", [&] { return Level(levels, 3 * 441, 4 * 441); }, 0},
      {"a column past the levels measured", [&] { return Level(levels, 4 * 441, 5 * 441); }, -1},
      {"quick levels: one a 10 ms to the timeline's end",
       [] { return static_cast<int64_t>(QuickOnHundredths().size()); }, 4},
      {"the first 10 ms inside granule 1", [] { return int64_t(QuickOnHundredths()[0]); }, -20},
      {"the loudest of granules 1 and 2", [] { return int64_t(QuickOnHundredths()[1]); }, -20},
      {"the loudest of granules 2 and 3", [] { return int64_t(QuickOnHundredths()[2]); }, -30},
      {"the last granule for the last 10 ms", [] { return int64_t(QuickOnHundredths()[3]); }, -40},
      {"the mark within reach", [&] { return Mark(marks, 504, 5); }, 1},
      {"no mark out of reach", [&] { return Mark(marks, 506, 5); }, -1},
      {"the nearer of two marks", [&] { return Mark(marks, 795, 400); }, 2},
      {"a mark stops before its right neighbour", [&] { return Dragged(marks, 1, 900, 1000); },
       799},
      {"and after its left one", [&] { return Dragged(marks, 1, -5, 1000); }, 1},
      {"a mark moves freely between them", [&] { return Dragged(marks, 1, 612, 1000); }, 612},
      {"the last mark stops at the end", [&] { return Dragged(marks, 2, 5000, 1000); }, 1000},
      {"the zero marker stays", [&] { return Dragged(marks, 0, 40, 1000); }, -1},
      {"a mark with no room stays",
       [] {
         return Dragged({0, 1, 2}, 1, 200, 1000);
       },
       1},
      {"the list's last time bounds a long source",
       [] {
         return Dragged({0, 300}, 1, 9000000, 9000000);
       },
       5999999},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual(), c.expected) << c.what;
  EXPECT_EQ(PositionText(61 * kRate + kRate / 2, kRate), "001:01.50");
}

}  // namespace
}  // namespace partwell
