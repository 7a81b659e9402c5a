// The rule that gives each file of a split its track list: the same times for every file
// (--times, with --equal its segments), a CUE sheet (--cue SHEET, or each file's own beside it
// with --cue auto), the chapters of its ID3v2 tag (--chapters), or the pauses the silence search
// proposes (--at-silences). A new source of track lists is one more kind here and one more case in
// TrackListFor.
#pragma once

#include <string>
#include <vector>

#include "analysis/silence_options.h"
#include "split/track_entry.h"

namespace partwell::cli {

enum class TrackListKind { kTimes, kCueSheet, kCueBeside, kChapters, kSilences };

struct TrackListRule {
  TrackListKind kind = TrackListKind::kTimes;
  std::vector<TrackEntry> times;  // kTimes: the list of --times
  std::string sheet;              // kCueSheet: its path
  SilenceOptions silences;        // kSilences
};

struct TrackList {
  std::vector<TrackEntry> entries;
  // A CUE sheet's disc TITLE and PERFORMER: the tracks' album and album artist.
  std::string album;
  std::string albumArtist;
  // Why the file has no track list (already printed on standard error); empty when it has.
  std::string failure;
  bool halted = false;  // Ctrl-C stopped the silence search
};

// The track list of `source` by `rule`. A silence search shows its progress and prints the
// times it proposes on standard output, as `silences` does (not when `quiet`).
TrackList TrackListFor(const TrackListRule& rule, const std::string& source, bool quiet);

// The track list of the CUE sheet at `sheetPath` for `source`.
TrackList TrackListOfCueSheet(const std::string& sheetPath, const std::string& source);

}  // namespace partwell::cli
