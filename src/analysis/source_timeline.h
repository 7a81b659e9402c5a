// The source's timeline: the stretch of a decoder's raw output (every audio frame after
// an Info, Xing or VBRI frame, nothing trimmed) that a gapless player plays, and that
// track times are counted on.
#pragma once

#include <cstdint>
#include <optional>

#include "io/file.h"

namespace partwell {

// In samples per channel: the timeline is raw[rawStart, rawStart + length).
struct SourceTimeline {
  uint64_t rawStart = 0;
  uint64_t length = 0;
};

// Reads the timeline from the source's frames: after a LAME tag written by LAME or by
// ffmpeg ("LAME", "Lavf", "Lavc"), with delay D and padding P, it starts at D + 529 and
// is N x spf - D - max(P, 529) samples long (N audio frames of spf samples); otherwise it
// starts at 529 and runs to the end of the raw output. Nothing when no Layer III frame is
// found near the start of the file or a read fails. Leaves the file position undefined.
std::optional<SourceTimeline> ReadSourceTimeline(File& file);

}  // namespace partwell
