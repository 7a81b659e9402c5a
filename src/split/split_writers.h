// The two writers behind RunSplit. Each is given a job whose track list passed the checks
// both modes share, and the track name pattern built from it.
#pragma once

#include <optional>
#include <string>

#include "job/job_host.h"
#include "job/job_report.h"
#include "split/split_job.h"
#include "split/track_plan.h"

namespace partwell {

JobReport RunBlockSplit(const SplitJob& job, const std::string& pattern, JobHost& host);
JobReport RunExactSplit(const SplitJob& job, const std::string& pattern, JobHost& host);
// The exact split of a job with ranges to remove: each track is a cut-out of the source.
JobReport RunExactSplitRemoving(const SplitJob& job, const std::string& pattern, JobHost& host);

// The planner of an exact split's tracks in timeline samples at `rate`: each entry at a CUE
// sheet's position exactly (75 to a second), at the nearest sample to a chapter's
// millisecond, else at the nearest sample to its hundredths.
// Nothing, with the refusal in `report`, for equal segments without an offset.
std::optional<TrackPlanner> PlanExactTracks(const SplitJob& job, int rate, JobReport& report);

}  // namespace partwell
