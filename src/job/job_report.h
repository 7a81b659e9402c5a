// What a split, a join or a level search (the silence search, the levels of a picture)
// reports when it ends, to whichever front end ran it: the window program's pages show it in
// a message box, the command line prints it.
#pragma once

#include <string>

namespace partwell {

enum class JobKind { kSplit, kJoin, kLevels };

enum class JobOutcome {
  kCompleted,
  kCancelled,
  // Refused before anything was written:
  kInvalidTemplate,          // split: the name template holds a character names may not
  kEqualSegmentsNeedOffset,  // split: equal segments without an entry after 0:00.00
  kEmptyList,                // split: no track time
  kDestinationIsSource,      // join: the destination is one of the sources
  kFreeFormat,               // exact split: free-format frames state no length
  kNotLayer3,                // exact split: Layer I or II frames
  kNoAudio,                  // exact split: no frame to decode, or a timeline without a sample;
                             // levels: no audio the decoder could decode
  kDecoderFailed,            // levels: the MP3 decoder could not be started
  kCannotOpen,               // levels: the source could not be opened
  kRemovesEverything,        // cut: the ranges leave no sample
  kRangePastEnd,             // cut: a range starts at or after the end of the audio
  kCannotSmooth,             // smooth join: a source that cannot be spliced (failedPath: why)
  // A file could not be opened, read, written or closed:
  kFileError,
};

struct JobReport {
  JobKind kind = JobKind::kSplit;
  JobOutcome outcome = JobOutcome::kFileError;
  bool jobStarted = false;  // JobStarted() was called: the front end gives the page back
  int unitsDone = 0;        // tracks written, or sources joined
  // For a file error: the file and what went wrong with it.
  std::string failedPath;
  std::string failureReason;

  bool completed() const { return outcome == JobOutcome::kCompleted; }
  // The one way a job records a failed file call: the file, and the system's words for what
  // went wrong. False, for the step that failed to return.
  bool FailFile(const std::string& path, const std::string& reason);
};

// The message a front end shows for an outcome of a job of `kind`; empty for a cancelled
// join, which the window program ends without a word.
const char* JobOutcomeText(JobKind kind, JobOutcome outcome);
inline const char* JobReportText(const JobReport& report) {
  return JobOutcomeText(report.kind, report.outcome);
}

}  // namespace partwell
