// The chapters of a source as the track list: each chapter's start as a track time and its
// title as the track's title. Portable: the command line and the Split page both use it.
#pragma once

#include <string>
#include <vector>

#include "split/track_entry.h"
#include "tags/chapters.h"

namespace partwell {

class TrackTimeList;

// The entries of `chapters`: title, start in milliseconds and the nearest hundredth.
std::vector<TrackEntry> ChapterTrackEntries(const ChapterList& chapters);

// Chapters for the track list `entries` (in order) of a file that plays `playedMs`: each
// titled as its entry and starting at it (a CUE sheet's position to the nearest millisecond),
// each ending where the next starts, the last where the file ends.
std::vector<ChapterMark> ChapterMarksOfEntries(const std::vector<TrackEntry>& entries,
                                               uint32_t playedMs);

// Replaces the contents of `times` by the chapters of the leading ID3v2 tag of the file at
// `sourcePath`. Returns an empty text when done, else why not (the file cannot be opened or
// read, its tag holds no chapters, two start within one hundredth), leaving `times` as it was.
std::string ReadChapterTracks(const std::string& sourcePath, TrackTimeList& times);

}  // namespace partwell
