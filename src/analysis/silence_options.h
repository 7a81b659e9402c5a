// What the user asks of the silence search, in the words both front ends give it: a
// threshold, a minimum pause or the speech preset, a number of tracks. The command line
// reads them as options, the window program's "Find Silences" dialog as typed text; both
// turn them into SilenceSettings here, so that they propose the same times.
#pragma once

#include <string>

#include "analysis/silence_finder.h"

namespace partwell {

// The ranges both front ends accept.
constexpr double kLowestThresholdDb = -119.0;
constexpr double kHighestThresholdDb = 0.0;
constexpr double kShortestPauseSeconds = 0.05;
constexpr double kLongestPauseSeconds = 600.0;
constexpr int kMostTracks = 999;

struct SilenceOptions {
  double thresholdDb = kDefaultThresholdDb;
  double minPauseSeconds = 0;  // 0: the preset's (speech, tracks or music)
  bool speech = false;
  int tracks = 0;  // 0: every pause
};

// The settings of the options: a minimum pause given is taken (to the nearest hundredth),
// else speech takes 1.2 s, a number of tracks 0.25 s and anything else 0.5 s.
SilenceSettings SettingsOf(const SilenceOptions& options);

// The dialog's fields as typed. An empty `tracks` asks for every pause; with a number of
// tracks the pause choice does not apply (the longest pauses of at least 0.25 s are taken).
struct SilenceOptionsText {
  std::string threshold;
  std::string minPause;  // read only when neither speech nor a number of tracks is chosen
  bool speech = false;
  std::string tracks;
};

enum class SilenceField { kNone, kThreshold, kMinPause, kTracks };

struct ParsedSilenceOptions {
  SilenceOptions options;
  SilenceField badField = SilenceField::kNone;  // the first field refused
  const char* refusal = nullptr;                // what to tell the user about it

  bool ok() const { return badField == SilenceField::kNone; }
};

// Reads the dialog's fields. A number is decimal, with a point or a comma, an optional
// sign and white space around it (no exponent, no "inf"); the threshold lies within
// -119..0 dBFS, the minimum pause within 0.05..600 s, and the number of tracks is a
// whole number within 2..999. Anything else is refused, naming the field.
ParsedSilenceOptions ParseSilenceOptions(const SilenceOptionsText& text);

}  // namespace partwell
