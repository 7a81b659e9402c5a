// A split's dry run: the tracks a split of the job would write (their file names and times)
// without writing anything.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/job_report.h"
#include "split/split_job.h"

namespace partwell {

struct PlannedTrack {
  std::string name;   // the track's file
  int64_t start = 0;  // hundredths of a second, as the track list asks
  int64_t end = 0;
};

struct SplitPreview {
  // kCompleted with the tracks, or the refusal or file error the split would meet first.
  JobReport report;
  std::vector<PlannedTrack> tracks;
};

// The tracks of `job` over audio `length` hundredths long: each entry's track up to the next
// entry (the last up to the end), none starting at or after the end but the first.
SplitPreview PlanSplit(const SplitJob& job, int64_t length);

// Reads how long the source's audio is as the job's mode cuts it (the documented mode by its
// bit rate from the job's first frame, the exact mode by its timeline) and plans the split;
// the checks and refusals are the split's own.
SplitPreview PreviewSplit(const SplitJob& job);

}  // namespace partwell
