// A smooth join: sources encoded one by one, each stating its own encoder delay and padding
// in a LAME tag (an album encoded track by track), joined without the silence that the
// earlier source's padding and the later one's delay leave at each junction.
//
// The sources are joined as a plain join joins them (join_engine.h), into a file beside the
// destination that is deleted afterwards, and that stream is cut as a smooth cut-out is
// (smooth_seam.h): at each junction the span of the padding and the delay goes, as the whole
// number of frames nearest to it, centred on it, so that each source keeps its samples but
// for at most a quarter of a frame at either side of a junction (what is dropped is the
// source's own sound, what is kept its padding or delay, next to silence). The joined length
// is the sum of the sources' lengths to within half a frame per junction. The sound on either
// side, each source decoded as it decodes alone, meets in a crossfade, and only the few
// frames that hold it are re-encoded. The file's header states the first source's delay and
// the last one's padding.
#pragma once

#include <string>
#include <vector>

#include "job/job_host.h"
#include "job/job_report.h"

namespace partwell {

// Joins `sources` into `destination` with smooth junctions of a crossfade of `crossfadeMs`
// (0: a plain splice); `chapters` as for RunJoin. Refused with kCannotSmooth (the source and
// why in failedPath and failureReason) before the destination is created: a source that is
// not Layer III, has no LAME tag, or has another sampling rate or channel mode than the
// first; tracks of one exact split that continue one another (a plain join already joins
// them without a gap).
JobReport RunSmoothJoin(const std::string& destination, const std::vector<std::string>& sources,
                        JobHost& host, int crossfadeMs, bool chapters = false);

}  // namespace partwell
