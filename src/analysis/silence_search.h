// The whole search a front end runs for "find the silences": open the source, read its
// timeline, measure its levels and find the silences in them. The command line runs it
// directly; the window program runs it on a worker thread with the page's job host.
#pragma once

#include <string>
#include <vector>

#include "analysis/loudness_levels.h"
#include "analysis/silence_finder.h"
#include "job/job_host.h"

namespace partwell {

struct SilenceSearch {
  LevelsOutcome outcome = LevelsOutcome::kNoAudio;
  std::string failureReason;
  bool jobStarted = false;        // host.JobStarted() was called
  std::vector<Silence> silences;  // on completion
};

// Opens the source at `path`, reads its timeline and, when there is audio, calls
// host.JobStarted() and measures its levels under the host's halt and progress (see
// MeasureLoudness); then finds the silences with `settings`.
SilenceSearch SearchSilences(const std::string& path, const SilenceSettings& settings,
                             JobHost& host);

}  // namespace partwell
