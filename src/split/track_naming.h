// Output file naming: the track name pattern (destination folder and name template) and
// its expansion into the full path of each track's file.
#pragma once

#include <optional>
#include <string>

#include "io/file.h"
#include "split/track_entry.h"

namespace partwell {

// The longest name template the Split page accepts.
constexpr size_t kMaxTemplateChars = 256;

// True when `text` holds none of \ / : * ? " < > | (the characters file names may not hold).
bool CheckNameChars(const std::string& text);

// The source's base name: its file part up to the first dot.
std::string SourceBaseName(const std::string& sourcePath);

// The folder part of a path, up to and including its last separator; empty when none.
std::string FolderOfPath(const std::string& path);

// The destination folder (or, when it is empty, the source's folder) followed by the template.
std::string BuildTrackNamePattern(const std::string& folder, const std::string& sourcePath,
                                  const std::string& nameTemplate);

// The full path of the file for the track that begins at list index `index` (0-based):
// the first "%file%", "%artist%" and "%title%" of the pattern replaced in that order, then
// the first "%track%" by the number index + 1 (two digits up to 99, three or more above),
// then ".mp3". In artist and title values each character that file names may not hold
// becomes "_". `entry` is null for a track beyond the list; its artist and title are empty.
// Nothing when the name would be longer than 259 characters.
std::optional<std::string> MakeTrackFileName(const std::string& pattern,
                                             const std::string& sourcePath, const TrackEntry* entry,
                                             int index);

}  // namespace partwell
