// The "Find Silences" dialog's fields as typed: what is taken, what is refused and which
// field is named, and the settings the search then runs with.
#include <gtest/gtest.h>

#include "analysis/silence_options.h"

namespace partwell {
namespace {

TEST(SilenceOptions, TypedFieldsGiveSettingsOrNameTheFirstBadField) {
  constexpr auto kOk = SilenceField::kNone;
  constexpr auto kThreshold = SilenceField::kThreshold;
  constexpr auto kMinPause = SilenceField::kMinPause;
  constexpr auto kTracks = SilenceField::kTracks;
  struct Case {
    SilenceOptionsText text;
    SilenceField bad;
    float thresholdDb = 0;
    int minPause = 0;  // hundredths
    int tracks = 0;
  };
  const Case cases[] = {
      // The dialog's defaults, and the ends of each range.
      {{"-48", "0.5", false, ""}, kOk, -48, 50},
      {{"-119", "0.05", false, ""}, kOk, -119, 5},
      {{"0", "600", false, ""}, kOk, 0, 60000},
      {{"+0", "1", false, ""}, kOk, 0, 100},
      {{"-119.01", "0.5", false, ""}, kThreshold},
      {{"0.5", "0.5", false, ""}, kThreshold},
      {{"-48", "0.049", false, ""}, kMinPause},
      {{"-48", "600.01", false, ""}, kMinPause},
      {{"-48", "-0.5", false, ""}, kMinPause},
      // A comma for the point, white space around the number, no digits before the point.
      {{" \t-40,5 ", "0,75", false, ""}, kOk, -40.5f, 75},
      {{"-48", ".25", false, ""}, kOk, -48, 25},
      {{"-48", "2.", false, ""}, kOk, -48, 200},
      // Not numbers as the dialog takes them.
      {{"", "0.5", false, ""}, kThreshold},
      {{"-", "0.5", false, ""}, kThreshold},
      {{"-48 dB", "0.5", false, ""}, kThreshold},
      {{"--48", "0.5", false, ""}, kThreshold},
      {{"-4 8", "0.5", false, ""}, kThreshold},
      {{"-4.8.1", "0.5", false, ""}, kThreshold},
      {{"-1e1", "0.5", false, ""}, kThreshold},
      {{"-inf", "0.5", false, ""}, kThreshold},
      {{"-48", "", false, ""}, kMinPause},
      {{"-48", ".", false, ""}, kMinPause},
      {{"-48", "0x1", false, ""}, kMinPause},
      // The threshold is named first when both are wrong.
      {{"loud", "long", false, ""}, kThreshold},
      // Speech takes 1.2 s; the minimum pause field is not read.
      {{"-40", "long", true, ""}, kOk, -40, 120},
      // A number of tracks takes 0.25 s; neither speech nor the pause field applies.
      {{"-48", "long", true, " 12 "}, kOk, -48, 25, 12},
      {{"-48", "0.5", false, "2"}, kOk, -48, 25, 2},
      {{"-48", "0.5", false, "999"}, kOk, -48, 25, 999},
      {{"-48", "0.5", false, "1"}, kTracks},
      {{"-48", "0.5", false, "1000"}, kTracks},
      {{"-48", "0.5", false, "0"}, kTracks},
      {{"-48", "0.5", false, "+3"}, kTracks},
      {{"-48", "0.5", false, "2.5"}, kTracks},
      {{"-48", "0.5", false, "three"}, kTracks},
      {{"-48", "0.5", false, "00012"}, kTracks},
      {{"", "0.5", false, "x"}, kThreshold},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("threshold \"" + c.text.threshold + "\", pause \"" + c.text.minPause +
                 "\", speech " + (c.text.speech ? "on" : "off") + ", tracks \"" + c.text.tracks +
                 "\"");
    ParsedSilenceOptions parsed = ParseSilenceOptions(c.text);
    EXPECT_EQ(parsed.badField, c.bad);
    EXPECT_EQ(parsed.ok(), parsed.refusal == nullptr);
    if (!parsed.ok()) continue;
    SilenceSettings settings = SettingsOf(parsed.options);
    EXPECT_EQ(settings.thresholdDb, c.thresholdDb);
    EXPECT_EQ(settings.minPause, c.minPause);
    EXPECT_EQ(settings.tracks, c.tracks);
  }
}

}  // namespace
}  // namespace partwell
