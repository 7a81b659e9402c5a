// CUE sheets: reading track start times, artists and titles from a sheet, and writing the
// track time list as one. Portable: no window code, no exceptions.
//
// Times: a sheet counts 75 frames a second, the list hundredths of a second.
//   reading: hundredths = frames x 4 / 3, rounded to the nearest (there is never a tie);
//   writing: frames = hundredths x 3 / 4, rounded to the nearest, halves up.
// Every frame count read maps to a hundredth that maps back to the same frame, so reading
// a sheet, writing it and reading it again gives the same list.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "split/track_entry.h"

namespace partwell {

class TrackTimeList;

// The largest sheet that is read, and the most tracks it may hold.
constexpr size_t kMaxCueSheetBytes = size_t{32} << 20;
constexpr size_t kMaxCueTracks = 20000;

struct CueSheetResult {
  // The tracks in order of time: artist, title, offset and the time text "mmm:ss.pp".
  // Empty when the sheet was refused.
  std::vector<TrackEntry> entries;
  // Why the sheet was refused, with the line number where one applies; nothing when read.
  std::optional<std::string> refusal;
  // The TITLE and PERFORMER before the first TRACK: the album and its artist.
  std::string discTitle;
  std::string discPerformer;
  // The FILE values in the sheet's order, also of a refused sheet (up to its refusal).
  std::vector<std::string> files;

  bool ok() const { return !refusal; }
};

// Reads a sheet from its bytes (UTF-8 with or without a byte-order mark, UTF-16 with a
// byte-order mark, else Latin-1). `sourcePath` is the MP3 the times are for; only its file
// name is used, to choose among the sheet's FILE entries when it has several.
CueSheetResult ReadCueSheet(std::string_view bytes, const std::string& sourcePath);

// True when the FILE value `fileValue` names the file of `sourcePath`: the same file name,
// ignoring case and any folder either separator gives it.
bool CueFileNamesSource(const std::string& fileValue, const std::string& sourcePath);

// Reads the sheet file at `sheetPath` (at most kMaxCueSheetBytes) with ReadCueSheet.
CueSheetResult ReadCueSheetFile(const std::string& sheetPath, const std::string& sourcePath);

// The bytes of a sheet for `entries` (the track time list, in order): a FILE line with the
// file name of `sourcePath` when it is not empty, then one TRACK per entry with its TITLE
// and PERFORMER when set and its INDEX 01. CRLF line ends; UTF-8 with a byte-order mark
// only when some text is not plain ASCII. Entries closer than one frame are written one
// frame apart, so that every track keeps a time of its own.
std::string WriteCueSheet(const std::vector<TrackEntry>& entries, const std::string& sourcePath);

// Writes WriteCueSheet's bytes to `sheetPath`, replacing a file of that name, but never the
// source itself (by its spelling or its identity). Why not, or nothing when written.
std::optional<std::string> WriteCueSheetFile(const std::string& sheetPath,
                                             const std::vector<TrackEntry>& entries,
                                             const std::string& sourcePath);

// Replaces the contents of `list` by the entries of a sheet, each added through
// TrackTimeList::AddTrackTime (which puts the zero marker ahead of a first time above 0).
// Returns false when the list refused an entry.
bool ReplaceTrackTimes(const std::vector<TrackEntry>& entries, TrackTimeList& list);

}  // namespace partwell
