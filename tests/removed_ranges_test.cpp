// The Overview's removed parts: a table of X presses on selections and on removed ranges,
// each followed by the ranges as `cut --remove` would be given them; selections read at the
// readout's hundredths; the hatching against the pixels it is meant to cover.
#include "view/removed_ranges.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace partwell {
namespace {

constexpr int kRate = 44100;
constexpr int64_t kLength = 60 * kRate;  // a minute

std::string Text(const RemovedRanges& removed) {
  std::string text;
  for (const TimeRange& range : removed.ranges()) {
    text += (text.empty() ? "" : ",") + std::to_string(range.start) + "-" +
            (range.end ? std::to_string(*range.end) : "end");
  }
  return text;
}

TEST(RemovedRanges, XMarksMergesAndRestoresAsTheCutTakesTheRanges) {
  struct Press {
    int64_t start;
    int64_t end;  // -1: to the end
    const char* after;
  };
  const Press presses[] = {
      {1000, 1500, "1000-1500"},
      {3000, 3200, "1000-1500,3000-3200"},
      {1500, 1600, "1000-1600,3000-3200"},  // touching: merged
      {900, 1000, "900-1600,3000-3200"},    // touching before
      {1550, 3100, "900-3200"},             // bridging two
      {2000, 2100, "900-2000,2100-3200"},   // inside: kept again, in two
      {2000, 2100, "900-3200"},             // and removed again
      {900, 3200, ""},                      // the whole range kept again
      {0, 200, "0-200"},                    // a trim at the start
      {5000, -1, "0-200,5000-end"},         // a trim to the end
      {4000, 5500, "0-200,4000-end"},       // reaching into it
      {4500, -1, "0-200,4000-4500"},        // the end kept again
      {100, 4200, "0-4500"},                // everything up to 45 s
      {0, -1, "0-end"},                     // and all of it
  };
  RemovedRanges removed;
  for (const Press& press : presses) {
    TimeRange range{press.start, std::nullopt};
    if (press.end >= 0) range.end = press.end;
    removed.Toggle(range);
    EXPECT_EQ(Text(removed), press.after) << press.start << "-" << press.end;
  }
}

TEST(RemovedRanges, SelectionsHitsAndRestoresAtTheSamplesOfTheReadout) {
  // A selection's ends at the readout's hundredths, either way round; its end at the end
  // of the timeline is the end of the audio.
  struct Selection {
    int64_t from, to;
    const char* range;
  };
  const Selection selections[] = {
      {441 * 150, 441 * 300, "150-300"},
      {441 * 300 + 440, 441 * 150 + 1, "150-300"},  // backwards, within the hundredths
      {0, 441 * 10, "0-10"},
      {441 * 5000, kLength, "5000-end"},
      {441 * 5000, kLength + 999, "5000-end"},  // clamped
      {441 * 150, 441 * 150 + 440, ""},         // within one hundredth
      {kLength, kLength, ""},
  };
  for (const Selection& s : selections) {
    std::optional<TimeRange> range = RangeOfSelection(s.from, s.to, kRate, kLength);
    RemovedRanges removed;
    if (range) removed.Toggle(*range);
    EXPECT_EQ(Text(removed), s.range) << s.from << " " << s.to;
  }
  RemovedRanges removed;
  removed.Toggle({150, 300});
  removed.Toggle({5000, std::nullopt});
  // Hundredths at 44.1 kHz are 441 samples: the ranges hold [66150, 132300) and the rest.
  const std::pair<int64_t, int64_t> hits[] = {{66149, -1},     {66150, 0},    {132299, 0},
                                              {132300, -1},    {2204999, -1}, {2205000, 1},
                                              {kLength - 1, 1}};
  for (auto [sample, index] : hits) {
    std::optional<size_t> at = removed.RangeAt(sample, kRate, kLength);
    EXPECT_EQ(at ? static_cast<int64_t>(*at) : -1, index) << sample;
  }
  removed.Restore(0);
  EXPECT_EQ(Text(removed), "5000-end");
}

TEST(RemovedRanges, HatchingCoversThePixelsOfItsLinesOnce) {
  struct Band {
    int left, right, height, spacing;
  };
  const Band bands[] = {{0, 40, 10, 6}, {13, 14, 30, 6}, {7, 200, 3, 8}, {0, 5, 5, 1}};
  for (const Band& b : bands) {
    SCOPED_TRACE(std::to_string(b.left) + "-" + std::to_string(b.right));
    // The pixels the lines pass through, walked from bottom to top.
    std::multiset<std::pair<int, int>> drawn;
    for (const HatchLine& line : Hatching(b.left, b.right, b.height, b.spacing)) {
      ASSERT_LE(line.x0, line.x1);
      ASSERT_EQ(line.x1 - line.x0, line.y0 - line.y1);  // 45 degrees, rising
      for (int x = line.x0, y = line.y0; x <= line.x1; ++x, --y) drawn.insert({x, y});
    }
    std::multiset<std::pair<int, int>> meant;
    for (int x = b.left; x < b.right; ++x) {
      for (int y = 0; y < b.height; ++y) {
        if ((x + y) % b.spacing == 0) meant.insert({x, y});
      }
    }
    EXPECT_EQ(drawn, meant);
  }
  EXPECT_TRUE(Hatching(10, 10, 5, 4).empty());
}

}  // namespace
}  // namespace partwell
