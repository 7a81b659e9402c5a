#include "split/cut_job.h"

#include "split/cut_writer.h"
#include "split/smooth_seam.h"
#include "split/track_file.h"

namespace partwell {
namespace {

SampleRange RangeSamples(const TimeRange& range, int rate, int64_t length) {
  return {HundredthsToSample(range.start, rate),
          range.end ? HundredthsToSample(*range.end, rate) : length};
}

std::vector<SampleRange> Ranges(const CutJob& job, int rate, int64_t length) {
  std::vector<SampleRange> ranges = RangeSamples(job.remove, rate, length);
  if (job.keep) {
    for (const SampleRange& range : RangesKeeping(RangeSamples(*job.keep, rate, length), length)) {
      ranges.push_back(range);
    }
  }
  return ranges;
}

// Creates the destination (never the source), with the source's ID3v2 tag when `tags`.
bool CreateOutput(const CutJob& job, WholeSource& source, CutOutput& output, JobReport& report) {
  output.name = job.destination;
  const std::optional<FileIdentity>& identity = source.stream().identity();
  if (output.name == job.sourcePath || (identity && IdentifyPath(output.name) == identity)) {
    report.FailFile(output.name, "the file would replace the source file");
    return false;
  }
  output.out = File::CreateAlways(output.name);
  if (!output.out.IsOpen()) {
    report.FailFile(output.name, SystemErrorText(output.out.LastError()));
    return false;
  }
  output.trailer = source.stream().trailer();
  const uint64_t tag = source.stream().facts().audioStart;
  if (!job.tags || tag == 0) return true;
  switch (source.stream().reader().CopyTo(output.out, 0, tag)) {
    case CopyStatus::kDone:
      break;
    case CopyStatus::kReadFailed:
      return source.ReadError(report);
    case CopyStatus::kWriteFailed:
      return report.FailFile(output.name, SystemErrorText(output.out.LastError()));
  }
  output.leadingTag = tag;
  return true;
}

}  // namespace

std::vector<SampleRange> RangeSamples(const std::vector<TimeRange>& ranges, int rate,
                                      int64_t length) {
  std::vector<SampleRange> samples;
  for (const TimeRange& range : ranges) samples.push_back(RangeSamples(range, rate, length));
  return samples;
}

CutResult RunCut(const CutJob& job, JobHost& host) {
  CutResult result;
  JobReport& report = result.report;
  WholeSource source;
  if (!source.Open(job.sourcePath, report)) return result;
  result.sampleRate = source.stream().facts().sampleRate;
  result.source = source.stream().facts().cut;
  const int64_t length = source.TimelineLength();
  result.plan = PlanCut(result.source, length, Ranges(job, result.sampleRate, length));
  if (result.plan.refusal != CutRefusal::kNone) {
    report.outcome = result.plan.refusal == CutRefusal::kPastEnd ? JobOutcome::kRangePastEnd
                                                                 : JobOutcome::kRemovesEverything;
    return result;
  }
  if (host.HaltRequested()) {
    report.outcome = JobOutcome::kCancelled;
    return result;
  }
  std::vector<MadeSpan>& made = result.made;
  if (job.smooth && !SmoothSeams(source, job.crossfadeMs, result.plan, made, report)) {
    return result;
  }
  CutOutput output;
  if (!CreateOutput(job, source, output, report)) return result;
  host.JobStarted();
  report.jobStarted = true;
  host.UnitStarted(1);
  if (WriteCutFile(source, result.plan, std::move(output), report, result.repairs, made)) {
    report.outcome = JobOutcome::kCompleted;
    report.unitsDone = 1;
  }
  return result;
}

}  // namespace partwell
