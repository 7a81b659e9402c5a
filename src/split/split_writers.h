// The two writers behind RunSplit. Each is given a job whose track list passed the checks
// both modes share, and the track name pattern built from it.
#pragma once

#include <string>

#include "shell/job_host.h"
#include "shell/job_report.h"
#include "split/split_engine.h"

namespace partwell {

JobReport RunDocumentedSplit(const SplitJob& job, const std::string& pattern, JobHost& host);
JobReport RunExactSplit(const SplitJob& job, const std::string& pattern, JobHost& host);

}  // namespace partwell
