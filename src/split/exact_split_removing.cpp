// An exact split that leaves ranges out: each track is a cut-out of the source (cut_writer.h)
// that removes, besides the ranges, everything before and after the track. A track wholly
// inside the ranges is not written; the tracks are named, numbered and tagged as written,
// each with the list entry it comes from.
#include <utility>
#include <vector>

#include "split/cut_writer.h"
#include "split/cut_job.h"
#include "split/split_writers.h"
#include "split/track_output.h"
#include "split/track_tagger.h"

namespace partwell {
namespace {

struct PlannedTrack {
  TrackEntry entry;
  CutPlan plan;
};

// The tracks written, each with the cut of its own bounds.
std::vector<PlannedTrack> PlanTracks(const SplitJob& job, const TrackPlanner& planner,
                                     const CutSource& source, int64_t length,
                                     const std::vector<SampleRange>& removed) {
  std::vector<PlannedTrack> tracks;
  std::optional<TrackBounds> bounds;
  for (size_t index = 0;
       (bounds = planner.Track(static_cast<int64_t>(index))) && TrackIsWritten(*bounds, length);
       ++index) {
    std::vector<SampleRange> ranges = removed;
    const int64_t end = bounds->end.value_or(length);
    if (bounds->start > 0) ranges.push_back({0, bounds->start});
    if (end < length) ranges.push_back({end, length});
    CutPlan plan = PlanCut(source, length, ranges);
    if (plan.refusal != CutRefusal::kNone) continue;
    tracks.push_back({index < job.entries.size() ? job.entries[index] : TrackEntry{}, plan});
  }
  return tracks;
}

}  // namespace

JobReport RunExactSplitRemoving(const SplitJob& job, const std::string& pattern, JobHost& host) {
  JobReport report;
  WholeSource source;
  if (!source.Open(job.sourcePath, report)) return report;
  const int rate = source.stream().facts().sampleRate;
  const int64_t length = source.TimelineLength();
  std::optional<TrackPlanner> planner = PlanExactTracks(job, rate, report);
  if (!planner) return report;
  const std::vector<SampleRange> removed = RangeSamples(job.remove, rate, length);
  for (const SampleRange& range : removed) {
    if (range.start >= length) {
      report.outcome = JobOutcome::kRangePastEnd;
      return report;
    }
  }
  const std::vector<PlannedTrack> tracks =
      PlanTracks(job, *planner, source.stream().facts().cut, length, removed);
  // The job as written: one entry per track written, so that names, numbers and tags count
  // the tracks written.
  SplitJob written = job;
  written.entries.clear();
  for (const PlannedTrack& track : tracks) written.entries.push_back(track.entry);
  TrackTagger tagger(written);
  if (!tagger.ReadSource(source.stream().file())) {
    source.ReadError(report);
    return report;
  }
  tagger.SetTrackCount(static_cast<int>(tracks.size()));
  host.JobStarted();
  report.jobStarted = true;
  std::vector<SeamRepair> repairs;
  TrackOutput track(written, pattern, host, tagger, report);
  for (size_t i = 0; i < tracks.size(); ++i) {
    const int index = static_cast<int>(i);
    if (!track.Begin(index, source.stream().identity())) return report;
    CutOutput output;
    output.out = std::move(track.file());
    output.name = track.name();
    output.leadingTag = track.tagBytes();
    output.trailer = tagger.EndingTrailer(index, source.stream().trailer());
    if (!WriteCutFile(source, tracks[i].plan, std::move(output), report, repairs)) return report;
    ++report.unitsDone;
  }
  report.outcome = JobOutcome::kCompleted;
  return report;
}

}  // namespace partwell
