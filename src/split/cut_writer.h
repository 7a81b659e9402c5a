// The cut-out writer, shared by `cut` and by an exact split that leaves ranges out: a source
// scanned whole (every frame and where the timeline ends, so that a refusal comes before
// anything is written), and one file of it written to a plan (cut_plan.h). The file is laid
// out as an exact track (exact_layout.h) that starts at the first kept sample: an Info
// frame with the file's own delay and padding, a reservoir frame and warm-up frames where
// the start needs them, then the kept frames of the source, byte for byte but for what each
// seam needs (seam_repair.h), then the trailer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/file.h"
#include "job/job_report.h"
#include "mpeg/id3v1_trailer.h"
#include "split/cut_plan.h"
#include "split/exact_source.h"
#include "split/seam_repair.h"

namespace partwell {

class WholeSource {
 public:
  // Opens and scans the source; false with the refusal or the file error in `report`.
  bool Open(const std::string& path, JobReport& report);
  ExactSource& stream() { return source_; }
  const ExactSource& stream() const { return source_; }
  const std::vector<FrameRecord>& frames() const { return frames_; }
  int64_t TimelineLength() const {
    return source_.TimelineLength(static_cast<int64_t>(frames_.size()));
  }
  // Records a read error of the source in `report`; false.
  bool ReadError(JobReport& report);

 private:
  std::string path_;
  ExactSource source_;
  std::vector<FrameRecord> frames_;
};

// Where a cut-out file goes: `out`, which holds its first `leadingTag` bytes already (an
// ID3v2 tag), named `name` in a file error; it ends with `trailer`.
struct CutOutput {
  File out;
  std::string name;
  uint64_t leadingTag = 0;
  Trailer trailer;
};

// Frames made to stand in a seam (smooth_seam.h), what the first of them borrows from the
// frames before it, and the timeline samples each splice in them removes; none for a frame
// seam.
struct MadeSpan {
  std::vector<std::vector<unsigned char>> frames;
  std::vector<unsigned char> borrowed;
  std::vector<SampleRange> removed;
};

// Writes the file of `plan` (one without a refusal) and closes it, with `made[i]` (when
// given) between the frames before seam i and those after it. False with the file error in
// `report`. Each seam's repair (of the junction before the frames after it) is appended to
// `repairs`.
bool WriteCutFile(WholeSource& source, const CutPlan& plan, CutOutput output, JobReport& report,
                  std::vector<SeamRepair>& repairs, const std::vector<MadeSpan>& made = {});

}  // namespace partwell
