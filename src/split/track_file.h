// Creating a track's file, the same way for both split writers: its name from the track
// name pattern, never the source itself, replaced when a file of that name exists.
#pragma once

#include <optional>
#include <string>

#include "io/file.h"
#include "job/job_report.h"
#include "split/split_job.h"

namespace partwell {

// Why no track may be written to `name`: it is the source (by its spelling, or its identity
// `source`) or one of the job's other sources. Null when it may.
const char* SourceReplacedBy(const SplitJob& job, const std::string& name,
                             const std::optional<FileIdentity>& source);

// Creates the file of track `index` (0-based) of `job` from `pattern`, into `out` with its
// path in `name`. On failure, records a file error in `report` and returns false.
bool CreateTrackFile(const SplitJob& job, const std::string& pattern, int index,
                     const std::optional<FileIdentity>& source, File& out, std::string& name,
                     JobReport& report);

}  // namespace partwell
