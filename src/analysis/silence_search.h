// The whole search a front end runs for "find the silences": open the source, read its
// timeline, measure its levels and find the silences in them as they come. The command line
// runs it directly; the window program runs it on a worker thread with the page's job host.
#pragma once

#include <string>
#include <vector>

#include "analysis/decoded_levels.h"
#include "analysis/silence_finder.h"
#include "job/job_host.h"
#include "job/job_report.h"

namespace partwell {

struct SilenceSearch {
  JobReport report;               // of kind kLevels
  std::vector<Silence> silences;  // on completion
};

// Opens the source at `path`, reads its timeline and, when there is audio, calls
// host.JobStarted() and measures its levels on `workers` threads (see MeasureDecodedLevels);
// then finds the silences with `settings`.
SilenceSearch SearchSilences(const std::string& path, const SilenceSettings& settings,
                             JobHost& host, const LevelWorkers& workers = {});

}  // namespace partwell
