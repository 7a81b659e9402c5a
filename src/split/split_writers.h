// The two writers behind RunSplit. Each is given a job whose track list passed the checks
// both modes share, and the track name pattern built from it.
#pragma once

#include <string>

#include "job/job_host.h"
#include "job/job_report.h"
#include "split/split_job.h"

namespace partwell {

JobReport RunDocumentedSplit(const SplitJob& job, const std::string& pattern, JobHost& host);
JobReport RunExactSplit(const SplitJob& job, const std::string& pattern, JobHost& host);

}  // namespace partwell
