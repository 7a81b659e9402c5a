// Smooth seams: a cut-out's inner ranges spliced at their samples and re-encoded there.
//
// A frame seam (cut_plan.h) moves both ends of a range to frame boundaries. A smooth seam
// removes the whole number of frames' samples nearest to the range's length, centred on the
// range, so that each end moves by at most a quarter of a frame (the frames on either side
// are copies of the source, which leave out whole frames only). The sound before the splice
// and the sound after it, decoded from the source, meet in a crossfade there, and only the
// few frames that hold the crossfade and 864 samples of sound on either side of it are
// re-encoded (libmp3lame, seam_codec.h) at the source's sample rate, channel mode and at
// least its bit rate; splices whose spans meet share one span. The encoder's delay and
// warm-up frames are left out, so the re-encoded frames decode to the splice on the
// source's frame grid and the file plays exactly the timeline less the removed samples.
// Across each end of a span the bit reservoir is repaired as at a frame seam
// (seam_repair.h). A span grows, a frame at a time, where its frames would meet the
// source's in other windows (the decoder's overlap would not cancel there) or could not
// carry the bytes the frame after them borrows.
//
// A span that would reach a trim's frames stays a frame seam.
#pragma once

#include <cstdint>
#include <vector>

#include "job/job_report.h"
#include "split/cut_plan.h"
#include "split/cut_writer.h"

namespace partwell {

// Default crossfade of a smooth seam, and the longest one taken.
constexpr int kDefaultCrossfadeMs = 5;
constexpr int kMaxCrossfadeMs = 100;

// Makes the seams of `plan` smooth with a crossfade of `crossfadeMs` (0: a plain splice):
// its seams become the spans of source frames each smooth seam replaces and its samples
// what the file then plays; `made` gets one span for each seam, without frames for one that
// stays a frame seam. False with the failure (a read of the source, the codecs) in `report`.
// `streamStarts` (ascending) are the frames where a stream of its own begins, as in a join
// of encodings: the sound from such a frame on is decoded as that stream alone decodes it.
bool SmoothSeams(WholeSource& source, int crossfadeMs, CutPlan& plan, std::vector<MadeSpan>& made,
                 JobReport& report, const std::vector<int64_t>& streamStarts = {});

}  // namespace partwell
