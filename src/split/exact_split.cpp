// The exact writer: cuts a Layer III source (constant or variable bit rate) at samples of its
// timeline, in one pass. Each track is a fresh Info frame, a reservoir frame and warm-up
// frames where it needs them (exact_layout.h), the source's frames unchanged, and the
// source's ID3v1 trailer; with tags, an ID3v2 tag before the Info frame and a trailer of
// the track's own (track_tagger.h). Frames go to their tracks a little behind the scan
// (exact_source.h); a track is begun when its first frame comes and finished when a frame
// after its last one does.
#include <algorithm>
#include <limits>

#include "mpeg/frame_header.h"
#include "mpeg/side_info.h"
#include "split/exact_layout.h"
#include "split/exact_source.h"
#include "split/exact_track_writer.h"
#include "split/split_writers.h"
#include "split/track_file.h"
#include "split/track_output.h"
#include "split/track_plan.h"
#include "split/track_tagger.h"

namespace partwell {
namespace {

constexpr int64_t kNoEnd = std::numeric_limits<int64_t>::max();

// A timeline sample of a list entry: a CUE sheet's position exactly (75 to a second), the
// nearest sample to a chapter's millisecond, else the nearest sample to its hundredths.
int64_t EntrySample(const TrackEntry& entry, int rate) {
  int64_t sample = entry.cueFrames >= 0   ? int64_t{entry.cueFrames} * rate / 75
                   : entry.chapterMs >= 0 ? (entry.chapterMs * rate + 500) / 1000
                                          : HundredthsToSample(entry.offset, rate);
  return std::max<int64_t>(sample, 0);
}

struct Track {
  TrackBounds bounds;
  TrackLayout layout;
  uint64_t expectedFrames = 0;
  uint64_t firstPosition = 0;  // of its first source frame
  int64_t lastBeforeEnd = 0;   // the frame of the sample before its end, when it has one
  uint64_t reservoirBytes = 0;
  std::optional<ExactTrackWriter> writer;
};

class ExactSplitter {
 public:
  ExactSplitter(const SplitJob& job, const std::string& pattern, JobHost& host)
      : job_(job), host_(host), tagger_(job), output_(job, pattern, host, tagger_, result_) {}
  JobReport Run();

 private:
  bool SourceReadError() { return output_.SourceFailed(source_.file()); }
  bool WriterFailed(const Track& track);
  // Reads the source's tags and counts the tracks for them, by a scan of the whole stream
  // that finds where its timeline ends.
  bool PrepareTags();

  // Scans the stream once, handing each frame to its tracks kExactLookAhead frames later.
  bool Split();
  bool KeepBuffer();

  // Frame `index` (or the number scanned, past the last) goes to the tracks that hold it;
  // tracks that end before it are finished and those that start are begun.
  bool Commit(int64_t index);
  int64_t KnownTimelineEnd() const { return source_.TimelineLength(source_.scanned()); }
  int64_t TrackEnd(const Track& track) const;
  bool Holds(const Track& track, int64_t index) const;
  bool StartTrack(const TrackBounds& bounds, const TrackLayout& layout, int64_t upTo);
  bool AddReservoir(Track& track);
  bool AddFrame(Track& track, int64_t index);
  bool FinishTrack();
  uint64_t ExpectedFrames(const TrackBounds& bounds, const TrackLayout& layout) const;
  bool RescanToc(const Track& track, std::optional<TocRecorder>& toc);

  const SplitJob& job_;
  JobHost& host_;
  TrackTagger tagger_;
  JobReport result_;
  TrackOutput output_;
  ExactSource source_;
  std::optional<TrackPlanner> planner_;
  int64_t committed_ = 0;  // frames handed to their tracks
  int64_t nextTrack_ = 0;
  bool noMoreTracks_ = false;
  std::optional<Track> current_;
};

bool ExactSplitter::WriterFailed(const Track& track) {
  if (track.writer->failure() == ExactTrackWriter::Failure::kRead) return SourceReadError();
  return output_.WriteFailed();
}

bool ExactSplitter::PrepareTags() {
  if (!tagger_.ReadSource(source_.file())) return SourceReadError();
  ExactSource whole;
  if (!whole.Open(job_.sourcePath, result_)) return false;
  FrameScanner::Step step;
  while ((step = whole.Scan()) == FrameScanner::Step::kFrame) {
  }
  if (step == FrameScanner::Step::kReadFailed) {
    return output_.SourceFailed(whole.file());
  }
  const int64_t timelineEnd = whole.TimelineLength(whole.scanned());
  int count = 0;
  for (std::optional<TrackBounds> bounds;
       (bounds = planner_->Track(count)) && TrackIsWritten(*bounds, timelineEnd);) {
    ++count;
  }
  tagger_.SetTrackCount(count);
  return true;
}

bool ExactSplitter::KeepBuffer() {
  switch (
      source_.KeepBuffer(committed_, [this] { return !current_ || current_->writer->Flush(); })) {
    case ExactSource::BufferMove::kFlushFailed:
      return WriterFailed(*current_);
    case ExactSource::BufferMove::kReadFailed:
      return SourceReadError();
    case ExactSource::BufferMove::kHeld:
    case ExactSource::BufferMove::kMoved:
      break;
  }
  return true;
}

bool ExactSplitter::Split() {
  for (bool ended = false; !ended;) {
    if (!KeepBuffer()) return false;
    FrameScanner::Step step = source_.Scan();
    if (step == FrameScanner::Step::kReadFailed) return SourceReadError();
    ended = step != FrameScanner::Step::kFrame;
    while (committed_ < source_.scanned() &&
           (ended || source_.scanned() > committed_ + kExactLookAhead)) {
      if (!Commit(committed_++)) return false;
    }
  }
  return Commit(source_.scanned());
}

int64_t ExactSplitter::TrackEnd(const Track& track) const {
  return std::min(track.bounds.end.value_or(kNoEnd), KnownTimelineEnd());
}

bool ExactSplitter::Holds(const Track& track, int64_t index) const {
  if (index < track.layout.firstFrame) return false;
  // Frames this far behind the scan are all on the timeline: only the track's own end counts.
  if (index <= track.lastBeforeEnd && index + kExactLookAhead < source_.scanned()) return true;
  int64_t last = LastFrameBefore(source_.facts().cut, TrackEnd(track));
  if (index <= last) return true;
  // A track needs two audio frames: with one, ffmpeg cannot open it.
  return !track.layout.reservoir && last == 0 && index == 1 && index < source_.scanned();
}

bool ExactSplitter::Commit(int64_t index) {
  for (;;) {
    if (!current_) {
      if (noMoreTracks_) return true;
      std::optional<TrackBounds> bounds = planner_->Track(nextTrack_);
      if (!bounds) {
        noMoreTracks_ = true;
        return true;
      }
      TrackLayout layout = LayOutTrack(source_.facts().cut, bounds->start);
      if (index < layout.firstFrame) return true;  // the first track begins later
      // The look-ahead makes the timeline's known end the true one here.
      if (!TrackIsWritten(*bounds, KnownTimelineEnd())) {
        noMoreTracks_ = true;
        return true;
      }
      if (!StartTrack(*bounds, layout, index)) return false;
    }
    if (Holds(*current_, index)) return AddFrame(*current_, index);
    if (!FinishTrack()) return false;
  }
}

uint64_t ExactSplitter::ExpectedFrames(const TrackBounds& bounds, const TrackLayout& layout) const {
  int64_t end = bounds.end.value_or(kNoEnd);
  if (std::optional<uint64_t> stated = source_.facts().statedFrames) {
    end = std::min(end, source_.TimelineLength(static_cast<int64_t>(*stated)));
  }
  if (end == kNoEnd) return 0;
  int64_t last = LastFrameBefore(source_.facts().cut, end);
  if (!layout.reservoir) last = std::max<int64_t>(last, 1);
  return static_cast<uint64_t>(std::max<int64_t>(0, last - layout.firstFrame + 1)) +
         (layout.reservoir ? 1 : 0);
}

bool ExactSplitter::AddReservoir(Track& track) {
  std::vector<unsigned char> borrowed;
  if (!source_.Borrowed(track.layout.firstFrame, borrowed)) return SourceReadError();
  const uint32_t next = source_.Recorded(track.layout.firstFrame)->frame.header;
  const int index =
      ReservoirIndex(next, static_cast<int>(borrowed.size()), source_.ring().ConstantIndex());
  std::vector<unsigned char> reservoir =
      MakeReservoirFrame(next, index, borrowed.data(), borrowed.size());
  track.reservoirBytes = reservoir.size();
  return track.writer->AddMadeFrame(std::move(reservoir)) || WriterFailed(track);
}

bool ExactSplitter::StartTrack(const TrackBounds& bounds, const TrackLayout& layout, int64_t upTo) {
  if (!output_.Begin(static_cast<int>(nextTrack_), source_.identity())) return false;
  Track& track = current_.emplace();
  track.bounds = bounds;
  track.layout = layout;
  track.expectedFrames = ExpectedFrames(bounds, layout);
  track.firstPosition = source_.Recorded(layout.firstFrame)->frame.position;
  track.lastBeforeEnd = bounds.end ? LastFrameBefore(source_.facts().cut, *bounds.end) : kNoEnd;
  track.writer.emplace(output_.file(), output_.tagBytes(), source_.reader(), source_.Tag(),
                       source_.facts().headerIndex, track.expectedFrames);
  if (layout.reservoir && !AddReservoir(track)) return false;
  for (int64_t index = layout.firstFrame; index < upTo; ++index) {
    if (Holds(track, index) && !AddFrame(track, index)) return false;
  }
  return true;
}

bool ExactSplitter::AddFrame(Track& track, int64_t index) {
  const FrameRecord* record = source_.Recorded(index);
  if (!record) return true;  // beyond the ring: only a stream of tiny frames gets here
  return track.writer->AddSourceFrame(record->frame) || WriterFailed(track);
}

bool ExactSplitter::RescanToc(const Track& track, std::optional<TocRecorder>& toc) {
  const uint64_t frames = track.writer->audioFrames();
  toc.emplace(frames);
  uint64_t offset = 0;
  uint64_t frame = 0;
  if (track.layout.reservoir) {
    toc->Frame(frame++, offset);
    offset = track.reservoirBytes;
  }
  if (frame == frames) return true;
  FrameScanner scanner = source_.ScannerFrom(track.firstPosition);
  MpegFrame next;
  if (ForEachFrame(scanner, next, [&](const MpegFrame& found) {
        toc->Frame(frame, offset);
        offset += found.length;
        return ++frame < frames;
      }) == FrameScanner::Step::kReadFailed) {
    return SourceReadError();
  }
  // The silent frame after a source's only frame.
  if (frame < frames) toc->Frame(frame, offset);
  return true;
}

bool ExactSplitter::FinishTrack() {
  Track& track = *current_;
  // A source of one frame: a silent frame after it, as a track needs two (see Holds).
  const FrameRecord* only = source_.Recorded(track.layout.firstFrame);
  if (track.writer->audioFrames() == 1 && only &&
      !track.writer->AddMadeFrame(MakeSilentFrame(only->frame.header))) {
    return WriterFailed(track);
  }
  const int64_t samples = TrackEnd(track) - track.bounds.start;
  const int64_t frames = static_cast<int64_t>(track.writer->audioFrames());
  std::optional<TocRecorder> toc;
  if (track.writer->audioFrames() != track.expectedFrames && !RescanToc(track, toc)) return false;
  if (!track.writer->Flush()) return WriterFailed(track);
  const int64_t padding = TrackPadding(source_.facts().cut, track.layout, frames, samples);
  if (!output_.End(source_.trailer(), [&] {
        return track.writer->WriteInfoFrame(track.layout.delay, padding, toc);
      })) {
    return false;
  }
  current_.reset();
  ++nextTrack_;
  return true;
}

JobReport ExactSplitter::Run() {
  if (!source_.Open(job_.sourcePath, result_)) return result_;
  planner_ = PlanExactTracks(job_, source_.facts().sampleRate, result_);
  if (!planner_) return result_;
  host_.JobStarted();
  result_.jobStarted = true;
  if ((!job_.tags || PrepareTags()) && Split()) result_.outcome = JobOutcome::kCompleted;
  return result_;
}

}  // namespace

std::optional<TrackPlanner> PlanExactTracks(const SplitJob& job, int rate, JobReport& report) {
  std::vector<int64_t> positions;
  for (const TrackEntry& entry : job.entries) {
    positions.push_back(EntrySample(entry, rate));
  }
  if (job.equalSegments && positions[1] <= 0) {
    report.outcome = JobOutcome::kEqualSegmentsNeedOffset;
    return std::nullopt;
  }
  return TrackPlanner(std::move(positions), job.equalSegments);
}

JobReport RunExactSplit(const SplitJob& job, const std::string& pattern, JobHost& host) {
  return ExactSplitter(job, pattern, host).Run();
}

}  // namespace partwell
