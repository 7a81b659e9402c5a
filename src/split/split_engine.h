// The split engine: cuts a source into track files in one of two modes.
// - Documented: a constant-bit-rate source by bit rate arithmetic. One hundredth of a second
//   is one block of kbps x 10 / 8 bytes; after its blocks each track runs on to the next
//   frame header with the source's bit rate index, so that the next track begins on a frame.
// - Exact: constant or variable bit rate, cut to the sample and gapless (exact_split.h).
// In both, the source's ID3v1 trailer ends every track; with tags, each track begins with
// an ID3v2 tag and ends with a trailer of its own (track_tagger.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/job_host.h"
#include "shell/job_report.h"
#include "split/track_entry.h"

namespace partwell {

// What a split works from, read from the page (or the command line) when it starts.
struct SplitJob {
  std::string sourcePath;
  std::string nameTemplate;
  std::string folder;  // empty: the source's folder; else ends in a separator
  bool equalSegments = false;
  std::vector<TrackEntry> entries;  // the track time list, in order
  bool exact = false;               // exact cuts; that mode reads the source on its own
  bool tags = false;                // each track gets its own title, artist and number
  // A CUE sheet's disc TITLE and PERFORMER: the tracks' album and album artist.
  std::string album;
  std::string albumArtist;
  // The source probe's results, for the documented mode.
  int bitRate = 0;
  int bitRateIndex = 0;
  uint64_t firstFrame = 0;
};

// Bytes per hundredth of a second at `kbps`.
constexpr int BlockSize(int kbps) { return kbps * 10 / 8; }

// The host is asked for a halt before each track and told of each track as it begins.
JobReport RunSplit(const SplitJob& job, JobHost& host);

}  // namespace partwell
