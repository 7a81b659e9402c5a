// A copy of an MP3 file with chapters in its leading ID3v2 tag: the file's own tag (in v2.3
// form, its chapters replaced) or a new one, then every byte after the file's tag unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tags/chapters.h"

namespace partwell {

// How long a player plays the file at `path`, in milliseconds; nothing when it cannot be
// read or holds no MPEG audio whose frames give their lengths.
std::optional<uint32_t> PlayedMilliseconds(const std::string& path);

// Writes the copy of `source` to `destination` (replaced when it exists, never `source`
// itself). Returns an empty text when written, else why not, with the path it concerns.
std::string WriteCopyWithChapters(const std::string& source, const std::string& destination,
                                  const std::vector<ChapterMark>& marks);

}  // namespace partwell
