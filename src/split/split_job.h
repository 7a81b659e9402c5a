// The split job: what a front end reads from its page or its command line and hands the split.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/file.h"
#include "split/track_entry.h"

namespace partwell {

// Hundredths of a second [start, end); no end: to the end of the audio.
struct TimeRange {
  int64_t start = 0;
  std::optional<int64_t> end;
};

// The timeline sample nearest to `hundredths` at `rate`.
constexpr int64_t HundredthsToSample(int64_t hundredths, int rate) {
  return (hundredths * rate + 50) / 100;
}

// Read from the page (or the command line) when the split starts.
struct SplitJob {
  std::string sourcePath;
  std::string nameTemplate;
  std::string folder;  // empty: the source's folder; else ends in a separator
  bool equalSegments = false;
  std::vector<TrackEntry> entries;  // the track time list, in order
  bool exact = false;               // exact cuts; that mode reads the source on its own
  bool tags = false;                // each track gets its own title, artist and number
  // Exact cuts: ranges left out of the tracks (a range inside a track is a frame seam).
  std::vector<TimeRange> remove;
  // A CUE sheet's disc TITLE and PERFORMER: the tracks' album and album artist.
  std::string album;
  std::string albumArtist;
  // Files that no track may replace besides the source: the other sources of a split of
  // many files.
  std::vector<FileIdentity> otherSources;
  // The source probe's results, for the documented mode.
  int bitRate = 0;
  int bitRateIndex = 0;
  uint64_t firstFrame = 0;
};

// Bytes per hundredth of a second at `kbps`.
constexpr int BlockSize(int kbps) { return kbps * 10 / 8; }

}  // namespace partwell
