#include "analysis/silence_search.h"

#include "mpeg/stream_scan.h"

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
  StreamScan scan;
  StreamScanOutcome scanned = ScanStream(source, scan);
  if (scanned != StreamScanOutcome::kScanned) {
    search.outcome = LevelsOutcome::kNoAudio;
    if (scanned == StreamScanOutcome::kReadFailed) {
      search.outcome = LevelsOutcome::kReadFailed;
      search.failureReason = ReadFailureText(source);
    }
    return search;
  }
  host.JobStarted();
  search.jobStarted = true;
  LoudnessLevels levels = MeasureLoudness(source, scan.timeline, host);
  search.outcome = levels.outcome;
  search.failureReason = levels.failureReason;
  if (levels.outcome == LevelsOutcome::kCompleted) {
    search.silences = FindSilences(levels.levels, settings);
  }
  return search;
}

}  // namespace partwell
