#include "analysis/silence_search.h"

#include "analysis/source_timeline.h"

namespace partwell {

SilenceSearch SearchSilences(const std::string& path, const SilenceSettings& settings,
                             JobHost& host) {
  SilenceSearch search;
  File source = File::OpenForReading(path);
  if (!source.IsOpen()) {
    search.outcome = LevelsOutcome::kCannotOpen;
    search.failureReason = SystemErrorText(source.LastError());
    return search;
  }
  std::optional<SourceTimeline> timeline = ReadSourceTimeline(source);
  if (!timeline) {
    search.outcome = LevelsOutcome::kNoAudio;
    if (source.LastError() != 0) {
      search.outcome = LevelsOutcome::kReadFailed;
      search.failureReason = SystemErrorText(source.LastError());
    }
    return search;
  }
  host.JobStarted();
  search.jobStarted = true;
  LoudnessLevels levels = MeasureLoudness(source, *timeline, host);
  search.outcome = levels.outcome;
  search.failureReason = levels.failureReason;
  if (levels.outcome == LevelsOutcome::kCompleted) {
    search.silences = FindSilences(levels.levels, settings);
    search.length = static_cast<int64_t>(levels.levels.size());
  }
  return search;
}

}  // namespace partwell
