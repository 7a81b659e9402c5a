#include "split/split_preview.h"

#include <algorithm>
#include <optional>

#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/stream_scan.h"
#include "split/exact_source.h"
#include "split/split_engine.h"
#include "split/track_file.h"
#include "split/track_naming.h"
#include "split/track_plan.h"

namespace partwell {
namespace {

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

// The length of the source's audio in hundredths, as the job's mode cuts it; nothing, with the
// refusal or the file error in `report`, when it cannot be split.
std::optional<int64_t> AudioLength(const SplitJob& job, JobReport& report) {
  if (job.exact) {
    // The exact split's own refusals come first: no audio, free format, Layer I or II.
    if (!ExactSource().Open(job.sourcePath, report)) return std::nullopt;
  }
  File file = File::OpenForReading(job.sourcePath);
  if (!file.IsOpen()) {
    report.FailFile(job.sourcePath, SystemErrorText(file.LastError()));
    return std::nullopt;
  }
  if (!job.exact) {
    std::optional<AudioExtent> extent = FindAudioExtent(file);
    if (!extent) {
      report.FailFile(job.sourcePath, ReadFailureText(file));
      return std::nullopt;
    }
    const uint64_t bytes = extent->endOfAudio - std::min(extent->endOfAudio, job.firstFrame);
    const int64_t block = BlockSize(job.bitRate);
    return block > 0 ? CeilDiv(static_cast<int64_t>(bytes), block) : 0;
  }
  StreamScan scan;
  if (ScanStream(file, scan) != StreamScanOutcome::kScanned) {
    report.FailFile(job.sourcePath, ReadFailureText(file));
    return std::nullopt;
  }
  const int64_t rate = SampleRate(scan.first.header);
  return CeilDiv(static_cast<int64_t>(scan.timeline.length) * 100, rate);
}

std::vector<int64_t> Offsets(const std::vector<TrackEntry>& entries) {
  std::vector<int64_t> offsets;
  for (const TrackEntry& entry : entries) offsets.push_back(entry.offset);
  return offsets;
}

}  // namespace

SplitPreview PlanSplit(const SplitJob& job, int64_t length) {
  SplitPreview preview;
  preview.report.kind = JobKind::kSplit;
  preview.report.outcome = CheckSplitJob(job);
  if (!preview.report.completed()) return preview;
  const std::string pattern = BuildTrackNamePattern(job.folder, job.sourcePath, job.nameTemplate);
  const TrackPlanner planner(Offsets(job.entries), job.equalSegments);
  const std::optional<FileIdentity> source = IdentifyPath(job.sourcePath);
  for (int index = 0;; ++index) {
    std::optional<TrackBounds> bounds = planner.Track(index);
    if (!bounds || (index > 0 && bounds->start >= length)) break;
    const TrackEntry* entry =
        static_cast<size_t>(index) < job.entries.size() ? &job.entries[index] : nullptr;
    std::optional<std::string> name = MakeTrackFileName(pattern, job.sourcePath, entry, index);
    if (!name) {
      preview.report.FailFile(pattern, "the track's file name would be longer than " +
                                           std::to_string(kMaxPathChars) + " characters");
      return preview;
    }
    if (const char* refusal = SourceReplacedBy(job, *name, source)) {
      preview.report.FailFile(*name, refusal);
      return preview;
    }
    const int64_t end = std::min(bounds->end.value_or(length), length);
    preview.tracks.push_back({*name, bounds->start, std::max(end, bounds->start)});
  }
  return preview;
}

SplitPreview PreviewSplit(const SplitJob& job) {
  SplitPreview preview;
  preview.report.kind = JobKind::kSplit;
  preview.report.outcome = CheckSplitJob(job);
  if (!preview.report.completed()) return preview;
  std::optional<int64_t> length = AudioLength(job, preview.report);
  if (!length) return preview;
  return PlanSplit(job, *length);
}

}  // namespace partwell
