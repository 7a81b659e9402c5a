// The join engine: concatenates source files byte for byte, in list order, leaving out
// each source's ID3v1 trailer.
#pragma once

#include <string>
#include <vector>

#include "shell/job_host.h"

namespace partwell {

enum class JoinOutcome {
  kCompleted,
  kCancelled,
  kDestinationIsSource,  // refused before anything was created
  kFileError,
};

struct JoinResult {
  JoinOutcome outcome = JoinOutcome::kFileError;
  bool jobStarted = false;  // JobStarted() was called: the front end gives the page back
  int sourcesJoined = 0;
  std::string failedPath;
  std::string failureReason;
};

// The job begins once the destination is created; the host is asked for a halt before each
// source and told of each source once it is open.
JoinResult RunJoin(const std::string& destination, const std::vector<std::string>& sources,
                   JobHost& host);

// The message the front end shows for an outcome; empty for a halt, which shows nothing.
const char* JoinOutcomeText(JoinOutcome outcome);

}  // namespace partwell
