// "Play Cut" as the files will sound, made by the writers themselves in a scratch folder of
// our own (never beside the user's files) and decoded as a player decodes them: the two
// tracks around a cut of the documented mode, so that the frame rounding and the frames the
// bit reservoir loses at the start of the second track are heard; and the seam where a
// removed range leaves the cut-out file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "split/split_job.h"

namespace partwell {

constexpr int kCutPreviewSeconds = 3;

struct CutPreview {
  bool made = false;
  std::vector<int16_t> samples;  // interleaved: the end of the track before, the start after
  std::string failure;
};

// The last 3 s of the track that ends at entry `index` (not the first) of `job`'s list and
// the first 3 s of the track it begins, written by the documented split (the tracks up to
// them, as the list makes them) into a new folder under `scratchParent`, removed again, and
// read back on each track's own timeline.
// `job` is the page's job: its options but the mode, the folder, the names and the tags
// are kept.
CutPreview BlockCutPreview(const SplitJob& job, size_t index, long rate,
                           const std::string& scratchParent);

// The 3 s of the source before range `index` of `removed` and the 3 s after it, less the
// ranges of `removed` among them, as the cut-out of `removed` writes them (cut_job.h): the
// same seams, written into a new folder under `scratchParent`, removed again, and read back
// on the file's own timeline; with `smooth`, the seams are smooth ones.
CutPreview RemovedCutPreview(const std::string& sourcePath, const std::vector<TimeRange>& removed,
                             size_t index, bool smooth, const std::string& scratchParent);

}  // namespace partwell
