#include "join/smooth_join.h"

#include <optional>

#include "io/file.h"
#include "join/join_engine.h"
#include "mpeg/frame_header.h"
#include "split/cut_plan.h"
#include "split/cut_writer.h"
#include "split/smooth_seam.h"

namespace partwell {
namespace {

// A junction of the joined stream: the frame where the later source begins, the padding of
// the source before it and the delay of the one after it.
struct Junction {
  int64_t frame = 0;
  int64_t padding = 0;
  int64_t delay = 0;
};

// The file a smooth join joins its sources into before it splices them; gone when it goes.
class JoinedFile {
 public:
  explicit JoinedFile(std::string path) : path_(std::move(path)) {}
  ~JoinedFile() { RemoveFile(path_); }
  JoinedFile(const JoinedFile&) = delete;
  JoinedFile& operator=(const JoinedFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool Refuse(JobReport& report, const std::string& path, const std::string& reason) {
  report.outcome = JobOutcome::kCannotSmooth;
  report.failedPath = path;
  report.failureReason = reason;
  return false;
}

int ChannelMode(uint32_t header) { return static_cast<int>((header >> 6) & 3); }

// Reads the sources' facts into `junctions` and `frames` (the joined stream's audio frames);
// false with the refusal or the file error in `report`.
bool ReadSources(const std::vector<std::string>& sources, std::vector<Junction>& junctions,
                 int64_t& frames, JobReport& report) {
  std::optional<uint32_t> first;
  int64_t padding = 0;
  for (const std::string& path : sources) {
    WholeSource source;
    if (!source.Open(path, report)) {
      if (report.outcome == JobOutcome::kFileError) return false;
      return Refuse(report, path,
                    report.outcome == JobOutcome::kNoAudio
                        ? "no audio frame that can be decoded"
                        : "not Layer III audio of a stated frame length");
    }
    const ExactStreamFacts& facts = source.stream().facts();
    if (!facts.trustedTag) return Refuse(report, path, "no LAME tag states its delay and padding");
    if (first && (facts.sampleRate != SampleRate(*first) ||
                  ChannelMode(facts.stream) != ChannelMode(*first))) {
      return Refuse(report, path, "another sampling rate or channel mode than the first source");
    }
    if (first) junctions.push_back({frames, padding, facts.vbrHeader->lame->delay});
    first = first.value_or(facts.stream);
    padding = facts.vbrHeader->lame->padding;
    frames += static_cast<int64_t>(source.frames().size());
  }
  return true;
}

// Splices the stream of `joined` at `junctions` into `destination`, which gets its leading tag.
bool Splice(const std::string& destination, WholeSource& joined,
            const std::vector<Junction>& junctions, int crossfadeMs, JobReport& report) {
  const CutSource& cut = joined.stream().facts().cut;
  std::vector<SampleRange> ranges;
  std::vector<int64_t> starts;
  for (const Junction& junction : junctions) {
    const int64_t at = FrameStartSample(cut, junction.frame) + kDecoderDelay;
    ranges.push_back({at - junction.padding, at + junction.delay});
    starts.push_back(junction.frame);
  }
  CutPlan plan = PlanCut(cut, joined.TimelineLength(), ranges);
  if (plan.refusal != CutRefusal::kNone) {
    return Refuse(report, destination, "the sources are too short to be spliced");
  }
  std::vector<MadeSpan> made;
  if (!SmoothSeams(joined, crossfadeMs, plan, made, report, starts)) return false;
  CutOutput output;
  output.name = destination;
  output.out = File::CreateAlways(destination);
  if (!output.out.IsOpen())
    return report.FailFile(destination, SystemErrorText(output.out.LastError()));
  output.leadingTag = joined.stream().facts().audioStart;
  switch (joined.stream().reader().CopyTo(output.out, 0, output.leadingTag)) {
    case CopyStatus::kDone:
      break;
    case CopyStatus::kReadFailed:
      return joined.ReadError(report);
    case CopyStatus::kWriteFailed:
      return report.FailFile(destination, SystemErrorText(output.out.LastError()));
  }
  output.trailer = joined.stream().trailer();
  std::vector<SeamRepair> repairs;
  return WriteCutFile(joined, plan, std::move(output), report, repairs, made);
}

}  // namespace

JobReport RunSmoothJoin(const std::string& destination, const std::vector<std::string>& sources,
                        JobHost& host, int crossfadeMs, bool chapters) {
  JobReport report;
  report.kind = JobKind::kJoin;
  const std::string joinedPath = destination + ".joining";
  const std::optional<FileIdentity> existing = IdentifyPath(destination);
  for (const std::string& source : sources) {
    if (WouldReplace(source, destination, existing)) {
      report.outcome = JobOutcome::kDestinationIsSource;
      return report;
    }
  }
  // The joined stream's file is the join's own: a file of its name is left alone.
  if (IdentifyPath(joinedPath)) {
    report.FailFile(joinedPath, "a file of this name is in the way of the smooth join");
    return report;
  }
  std::vector<Junction> junctions;
  int64_t frames = 0;
  if (!ReadSources(sources, junctions, frames, report)) return report;
  const JoinedFile joinedFile(joinedPath);
  report = RunJoin(joinedPath, sources, host, chapters);
  if (!report.completed()) return report;
  WholeSource joined;
  if (!joined.Open(joinedFile.path(), report)) return report;
  if (static_cast<int64_t>(joined.frames().size()) != frames) {
    Refuse(report, sources.back(),
           "the sources continue one another as the tracks of one exact split, which a join "
           "without smooth joins joins without a gap");
    return report;
  }
  if (host.HaltRequested()) {
    report.outcome = JobOutcome::kCancelled;
    return report;
  }
  report.outcome = JobOutcome::kFileError;
  if (Splice(destination, joined, junctions, crossfadeMs, report)) {
    report.outcome = JobOutcome::kCompleted;
  }
  return report;
}

}  // namespace partwell
