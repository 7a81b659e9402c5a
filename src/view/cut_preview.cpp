#include "view/cut_preview.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "analysis/timeline_pcm.h"
#include "split/cut_job.h"
#include "split/split_engine.h"
#include "split/track_time.h"

namespace partwell {
namespace {

namespace fs = std::filesystem;

// Lets the split write `tracks` tracks and halts it before the next.
class TracksHost : public JobHost {
 public:
  explicit TracksHost(int tracks) : tracks_(tracks) {}
  void JobStarted() override {}
  bool HaltRequested() override { return started_ >= tracks_; }
  void UnitStarted(int number) override { started_ = number; }

 private:
  int tracks_;
  int started_ = 0;
};

bool ReadAll(std::unique_ptr<TimelinePcm> pcm, std::vector<int16_t>& samples) {
  if (!pcm) return false;
  constexpr size_t kFrames = 4096;
  std::vector<int16_t> chunk(kFrames * pcm->channels());
  while (size_t frames = pcm->Read(chunk.data(), kFrames)) {
    samples.insert(samples.end(), chunk.begin(), chunk.begin() + frames * pcm->channels());
  }
  return true;
}

TrackEntry EntryAt(int32_t offset) {
  TrackEntry entry;
  entry.offset = offset;
  SetTimeText(entry, FormatTimeText(TimePartsOfOffset(offset)));
  return entry;
}

// The scratch folder goes away with everything in it, however the preview ends.
struct ScratchFolder {
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
  // Makes a new folder under `parent`; false with the reason in `failure`.
  bool Make(const std::string& parent, std::string& failure) {
    std::error_code error;
    fs::path folder = fs::path(parent) /
                      ("partwell-cut-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    if (!fs::create_directory(folder, error)) {
      failure = "No scratch folder could be made for the cut: " + error.message();
      return false;
    }
    path = folder;
    return true;
  }
  fs::path path;
};

}  // namespace

CutPreview BlockCutPreview(const SplitJob& job, size_t index, long rate,
                           const std::string& scratchParent) {
  CutPreview preview;
  if (index == 0 || index >= job.entries.size()) {
    preview.failure = "Select a track time after the first to hear its cut.";
    return preview;
  }
  // The list up to the cut, as the tracks before it decide where each one begins (and the
  // first keeps the source's header frame); the track after it is cut short a second after
  // what is heard of it (its start does not depend on its end), and the split halts there.
  int32_t shortEnd = job.entries[index].offset + (kCutPreviewSeconds + 1) * 100;
  SplitJob written = job;
  written.exact = false;
  written.tags = false;
  written.equalSegments = false;
  written.nameTemplate = "%track%";
  written.entries.assign(job.entries.begin(), job.entries.begin() + index + 1);
  bool nextIsNear = index + 1 < job.entries.size() && job.entries[index + 1].offset < shortEnd;
  written.entries.push_back(nextIsNear ? job.entries[index + 1] : EntryAt(shortEnd));
  ScratchFolder scratch;
  if (!scratch.Make(scratchParent, preview.failure)) return preview;
  const fs::path& folder = scratch.path;
  written.folder = (folder / "").string();
  TracksHost host(static_cast<int>(index) + 1);
  JobReport report = RunSplit(written, host);
  if (report.outcome != JobOutcome::kCompleted && report.outcome != JobOutcome::kCancelled) {
    preview.failure = JobReportText(report);
    return preview;
  }
  std::vector<fs::path> tracks;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    tracks.push_back(entry.path());
  }
  // Track 100 follows track 99: the names sort by their length first.
  std::sort(tracks.begin(), tracks.end(), [](const fs::path& a, const fs::path& b) {
    return std::make_pair(a.native().size(), a) < std::make_pair(b.native().size(), b);
  });
  uint64_t around = static_cast<uint64_t>(kCutPreviewSeconds) * static_cast<uint64_t>(rate);
  std::string failure;
  if (tracks.size() < index + 1 ||
      !ReadAll(TimelinePcm::OpenLast(tracks[index - 1].string(), around, failure),
               preview.samples) ||
      !ReadAll(TimelinePcm::Open(tracks[index].string(), 0, around, failure), preview.samples)) {
    preview.failure = "The tracks around the cut could not be read back. " + failure;
    return preview;
  }
  preview.made = true;
  return preview;
}

CutPreview RemovedCutPreview(const std::string& sourcePath, const std::vector<TimeRange>& removed,
                             size_t index, bool smooth, const std::string& scratchParent) {
  CutPreview preview;
  if (index >= removed.size()) {
    preview.failure = "Put the cursor in a removed part to hear its seam.";
    return preview;
  }
  const TimeRange& range = removed[index];
  constexpr int64_t kAround = kCutPreviewSeconds * 100;
  CutJob job;
  job.sourcePath = sourcePath;
  job.remove = removed;
  job.smooth = smooth;
  job.keep = TimeRange{std::max<int64_t>(range.start - kAround, 0), std::nullopt};
  if (range.end) job.keep->end = *range.end + kAround;
  ScratchFolder scratch;
  if (!scratch.Make(scratchParent, preview.failure)) return preview;
  job.destination = (scratch.path / "cut.mp3").string();
  TracksHost host(1);
  CutResult result = RunCut(job, host);
  std::string failure;
  if (!result.report.completed()) {
    preview.failure = JobReportText(result.report);
  } else if (!ReadAll(TimelinePcm::Open(job.destination, 0, UINT64_MAX, failure),
                      preview.samples)) {
    preview.failure = "The cut-out file could not be read back. " + failure;
  } else {
    preview.made = true;
  }
  return preview;
}

}  // namespace partwell
