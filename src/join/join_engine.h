// The join engine: concatenates source files byte for byte, in list order, leaving out
// each source's ID3v1 trailer.
#pragma once

#include <string>
#include <vector>

namespace partwell {

// The front end's side of a running join.
class JoinHost {
 public:
  virtual ~JoinHost() = default;
  // The destination has been created: the job begins.
  virtual void JobStarted() = 0;
  // Asked before each source, the first included.
  virtual bool HaltRequested() = 0;
  // Source `number` (1-based) is open and its copy begins.
  virtual void SourceStarted(int number) = 0;
};

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

JoinResult RunJoin(const std::string& destination, const std::vector<std::string>& sources,
                   JoinHost& host);

// The message the front end shows for an outcome; empty for a halt, which shows nothing.
const char* JoinOutcomeText(JoinOutcome outcome);

}  // namespace partwell
