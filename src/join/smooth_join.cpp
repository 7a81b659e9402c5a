#include "join/smooth_join.h"

#include <cstdlib>
#include <optional>

#include "io/file.h"
#include "join/join_chapters.h"
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

// The samples the splices of `plan` (with `made`) remove at each of the junctions whose
// gaps are `ranges`: each removed stretch counts for the junction nearest to it.
std::vector<int64_t> RemovedAtJunctions(const std::vector<SampleRange>& ranges, const CutPlan& plan,
                                        const std::vector<MadeSpan>& made, const CutSource& cut) {
  std::vector<SampleRange> removed;
  for (size_t i = 0; i < plan.seams.size(); ++i) {
    if (i < made.size() && !made[i].frames.empty()) {
      removed.insert(removed.end(), made[i].removed.begin(), made[i].removed.end());
    } else {
      removed.push_back(
          {FrameStartSample(cut, plan.seams[i].first), FrameStartSample(cut, plan.seams[i].end)});
    }
  }
  std::vector<int64_t> samples(ranges.size(), 0);
  for (const SampleRange& stretch : removed) {
    size_t nearest = 0;
    for (size_t j = 1; j < ranges.size(); ++j) {
      const auto distance = [&stretch](const SampleRange& range) {
        return std::abs(stretch.start + stretch.end - range.start - range.end);
      };
      if (distance(ranges[j]) < distance(ranges[nearest])) nearest = j;
    }
    samples[nearest] += stretch.end - stretch.start;
  }
  return samples;
}

// Begins `output` with the leading bytes of `joined`; with `chapters`, its chapter tag anew,
// each later source's chapter starting `removed` samples earlier than in the plain join.
bool WriteLeadingTag(WholeSource& joined, const std::vector<std::string>& sources, bool chapters,
                     const std::vector<int64_t>& removed, CutOutput& output, JobReport& report) {
  output.leadingTag = joined.stream().facts().audioStart;
  std::vector<unsigned char> tag;
  if (chapters) {
    JoinChapterTag made = MakeJoinChapterTag(sources);
    if (!made.failedPath.empty()) return report.FailFile(made.failedPath, made.failureReason);
    for (size_t i = 0; i < removed.size() && i + 1 < made.sources.size(); ++i) {
      made.sources[i + 1].leftOut = static_cast<uint64_t>(removed[i]);
    }
    tag = JoinChapterTagBytes(made);
    if (tag.size() > output.leadingTag) tag.clear();
  }
  if (!output.out.Write(tag.data(), tag.size())) {
    return report.FailFile(output.name, SystemErrorText(output.out.LastError()));
  }
  switch (joined.stream().reader().CopyTo(output.out, tag.size(), output.leadingTag)) {
    case CopyStatus::kDone:
      return true;
    case CopyStatus::kReadFailed:
      return joined.ReadError(report);
    case CopyStatus::kWriteFailed:
      break;
  }
  return report.FailFile(output.name, SystemErrorText(output.out.LastError()));
}

// Splices the stream of `joined` (of `sources`) at `junctions` into `destination`.
bool Splice(const std::string& destination, const std::vector<std::string>& sources, bool chapters,
            WholeSource& joined, const std::vector<Junction>& junctions, int crossfadeMs,
            JobReport& report) {
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
  if (!output.out.IsOpen()) {
    return report.FailFile(destination, SystemErrorText(output.out.LastError()));
  }
  if (!WriteLeadingTag(joined, sources, chapters, RemovedAtJunctions(ranges, plan, made, cut),
                       output, report)) {
    return false;
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
  if (Splice(destination, sources, chapters, joined, junctions, crossfadeMs, report)) {
    report.outcome = JobOutcome::kCompleted;
  }
  return report;
}

}  // namespace partwell
