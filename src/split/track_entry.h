// The record behind each line of the track time list.
#pragma once

#include <cstdint>
#include <string>

namespace partwell {

constexpr size_t kTrackTextChars = 100;  // artist and title, without the terminator

struct TrackEntry {
  char artist[kTrackTextChars + 1] = {};
  char title[kTrackTextChars + 1] = {};
  char timeText[22] = {};  // the raw text before it is added, then "mmm:ss.pp"
  int32_t offset = 0;      // hundredths of a second from the start of the source
  // The INDEX 01 position (75ths of a second) of an entry read from a CUE sheet, which the
  // exact split cuts at; -1 for an entry typed or grabbed as a time.
  int32_t cueFrames = -1;
  // The start (milliseconds) of an entry taken from the source's chapters, which the exact
  // split cuts at; -1 for any other entry.
  int64_t chapterMs = -1;
};

// Copies `text` into an artist or title field, cut to 100 characters at a UTF-8
// character boundary.
void SetTrackText(char (&field)[kTrackTextChars + 1], const std::string& text);
// Copies `text` into the time text field, cut to 21 characters.
void SetTimeText(TrackEntry& entry, const std::string& text);

}  // namespace partwell
