#include "split/split_engine.h"

#include "split/split_writers.h"
#include "split/track_naming.h"

namespace partwell {

JobOutcome CheckSplitJob(const SplitJob& job) {
  if (!CheckNameChars(job.nameTemplate)) return JobOutcome::kInvalidTemplate;
  if (job.equalSegments && job.entries.size() < 2) return JobOutcome::kEqualSegmentsNeedOffset;
  if (job.entries.empty()) return JobOutcome::kEmptyList;
  return JobOutcome::kCompleted;
}

JobReport RunSplit(const SplitJob& job, JobHost& host) {
  JobReport report;
  report.kind = JobKind::kSplit;
  report.outcome = CheckSplitJob(job);
  if (!report.completed()) return report;
  std::string pattern = BuildTrackNamePattern(job.folder, job.sourcePath, job.nameTemplate);
  if (!job.exact) return RunBlockSplit(job, pattern, host);
  return job.remove.empty() ? RunExactSplit(job, pattern, host)
                            : RunExactSplitRemoving(job, pattern, host);
}

}  // namespace partwell
