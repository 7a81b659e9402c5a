#include "split/split_engine.h"

#include "split/split_writers.h"
#include "split/track_naming.h"

namespace partwell {

JobReport RunSplit(const SplitJob& job, JobHost& host) {
  JobReport report;
  report.kind = JobKind::kSplit;
  if (!CheckNameChars(job.nameTemplate)) {
    report.outcome = JobOutcome::kInvalidTemplate;
  } else if (job.equalSegments && job.entries.size() < 2) {
    report.outcome = JobOutcome::kEqualSegmentsNeedOffset;
  } else if (job.entries.empty()) {
    report.outcome = JobOutcome::kEmptyList;
  } else {
    std::string pattern = BuildTrackNamePattern(job.folder, job.sourcePath, job.nameTemplate);
    if (!job.exact) return RunDocumentedSplit(job, pattern, host);
    return job.remove.empty() ? RunExactSplit(job, pattern, host)
                              : RunExactSplitRemoving(job, pattern, host);
  }
  return report;
}

}  // namespace partwell
