// The exact writer: cuts a Layer III source (constant or variable bit rate) at samples of its
// timeline, in one pass. Each track is a fresh Info frame, a reservoir frame and warm-up
// frames where it needs them (exact_layout.h), the source's frames unchanged, and the
// source's ID3v1 trailer. A small ring of recent frames gives a new track its warm-up frames
// and the main data its reservoir frame repeats; nothing else is kept per frame.
#include <algorithm>
#include <limits>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/frame_scanner.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/info_header.h"
#include "mpeg/side_info.h"
#include "mpeg/source_probe.h"
#include "mpeg/stream_scan.h"
#include "split/exact_layout.h"
#include "split/exact_track_writer.h"
#include "split/split_writers.h"
#include "split/track_file.h"
#include "split/track_plan.h"

namespace partwell {
namespace {

constexpr size_t kSourceBufferBytes = 1 << 20;
// Frames go to their tracks this many frames behind the scan. The timeline ends the
// source's padding (at most 4095 samples, 8 frames) before the end of its last frame, so by
// then it is known whether the timeline holds a frame and whether a track starts.
constexpr int64_t kLookAhead = 16;
// Recent frames kept: the look-ahead, a new track's warm-up frames and the frames whose main
// data its reservoir frame repeats (511 bytes at most).
constexpr int64_t kRingFrames = 1024;
// The scan re-fills the buffer when it comes this close to the end of what is held, keeping
// the frames a new track may still need.
constexpr uint64_t kScanMargin = 64 * 1024;
constexpr int64_t kKeptFrames = 8;
// More than any frame of any layer: how far past a frame the scan may look.
constexpr uint64_t kMaxFrameBytes = 4096;
// The first bytes searched for a free-format header when no frame is found.
constexpr uint64_t kFreeFormatSearchBytes = 64 * 1024;

constexpr int64_t kNoEnd = std::numeric_limits<int64_t>::max();

struct FrameRecord {
  MpegFrame frame;
  uint64_t areaStart = 0;  // of its main data area in the main data stream
};

// A timeline sample of a list entry: a CUE sheet's position exactly (75 to a second),
// else the nearest sample to its hundredths.
int64_t EntrySample(const TrackEntry& entry, int rate) {
  int64_t sample = entry.cueFrames >= 0 ? int64_t{entry.cueFrames} * rate / 75
                                        : (int64_t{entry.offset} * rate + 50) / 100;
  return std::max<int64_t>(sample, 0);
}

struct Track {
  TrackBounds bounds;
  TrackLayout layout;
  std::string name;
  uint64_t expectedFrames = 0;
  uint64_t firstPosition = 0;  // of its first source frame
  uint64_t reservoirBytes = 0;
  std::optional<ExactTrackWriter> writer;
};

class ExactSplitter {
 public:
  ExactSplitter(const SplitJob& job, const std::string& pattern, JobHost& host)
      : job_(job), pattern_(pattern), host_(host), ring_(kRingFrames) {}
  JobReport Run();

 private:
  bool Stop(JobOutcome outcome) {
    result_.outcome = outcome;
    return false;
  }
  bool SourceReadError() {
    RecordFileError(result_, job_.sourcePath, ReadFailureText(source_));
    return false;
  }
  bool WriterFailed(const Track& track);

  bool OpenSource();
  // Reads the stream's first frames: the refusals, the source's tag and timeline.
  bool Examine();
  bool RefuseWithoutFrames();
  void TakeSourceTag(const unsigned char* frame, const VbrHeader& header);
  int64_t TimelineLength(int64_t audioFrames) const;

  // Scans the stream once, handing each frame to its tracks kLookAhead frames later.
  bool Split();
  bool KeepWindow(uint64_t scanAt);
  const unsigned char* Bytes(uint64_t position, size_t length);
  void Record(const MpegFrame& frame);
  const FrameRecord* Recorded(int64_t index) const;

  // Frame `index` (or scanned_, past the last) goes to the tracks that hold it; tracks
  // that end before it are finished and those that start are begun.
  bool Commit(int64_t index);
  int64_t KnownTimelineEnd() const { return TimelineLength(scanned_); }
  int64_t TrackEnd(const Track& track) const;
  bool Holds(const Track& track, int64_t index) const;
  bool StartTrack(const TrackBounds& bounds, const TrackLayout& layout, int64_t upTo);
  std::vector<unsigned char> MakeReservoir(int64_t first);
  bool AddFrame(Track& track, int64_t index);
  bool FinishTrack();
  uint64_t ExpectedFrames(const TrackBounds& bounds, const TrackLayout& layout) const;
  bool RescanToc(const Track& track, std::optional<TocRecorder>& toc);

  const SplitJob& job_;
  const std::string& pattern_;
  JobHost& host_;
  JobReport result_;

  File source_;
  Trailer trailer_;
  std::optional<FileIdentity> identity_;
  std::optional<BufferedSource> reader_;
  uint64_t audioStart_ = 0;

  // What Examine learns of the stream.
  uint32_t stream_ = 0;       // the first frame's header
  bool headerFrame_ = false;  // the first frame is an Info/Xing frame, not audio
  std::optional<VbrHeader> vbrHeader_;
  CutSource cut_;
  InfoFrameFields tag_;
  bool trustedTag_ = false;
  std::optional<int> sourceHeaderIndex_;
  std::optional<uint64_t> statedFrames_;  // audio frames the source's header states
  std::optional<TrackPlanner> planner_;

  // The scan.
  std::vector<FrameRecord> ring_;
  int64_t scanned_ = 0;  // audio frames scanned
  bool ended_ = false;
  uint64_t mainData_ = 0;
  int firstIndex_ = 0;
  bool constantBitRate_ = true;  // so far
  uint64_t windowStart_ = 0;     // bytes the buffer is known to hold
  uint64_t windowEnd_ = 0;

  // The tracks.
  int64_t nextTrack_ = 0;
  bool noMoreTracks_ = false;
  std::optional<Track> current_;
};

bool ExactSplitter::WriterFailed(const Track& track) {
  if (track.writer->failure() == ExactTrackWriter::Failure::kRead) return SourceReadError();
  RecordFileError(result_, track.name, SystemErrorText(track.writer->file().LastError()));
  return false;
}

bool ExactSplitter::OpenSource() {
  source_ = File::OpenForReading(job_.sourcePath);
  if (!source_.IsOpen()) return SourceReadError();
  audioStart_ = SkipLeadingId3v2Tags(source_);
  std::optional<uint64_t> endOfAudio = ReadTrailer(source_, trailer_);
  if (!endOfAudio) return SourceReadError();
  identity_ = source_.Identity();
  audioStart_ = std::min(audioStart_, *endOfAudio);
  reader_.emplace(source_, *endOfAudio, kSourceBufferBytes);
  return true;
}

bool ExactSplitter::RefuseWithoutFrames() {
  uint64_t end = std::min(reader_->end(), audioStart_ + kFreeFormatSearchBytes);
  for (uint64_t at = audioStart_; at + 4 <= end; ++at) {
    const unsigned char* data = Bytes(at, 4);
    if (!data) return SourceReadError();
    uint32_t word = ReadBigEndian32(data);
    if (IsFrameHeader(word) && HeaderIsLayer3(word) && HeaderBitRateIndex(word) == 0) {
      return Stop(JobOutcome::kFreeFormat);
    }
  }
  return Stop(JobOutcome::kNoAudio);
}

void ExactSplitter::TakeSourceTag(const unsigned char* frame, const VbrHeader& header) {
  trustedTag_ = header.lame && header.lame->trusted;
  if (trustedTag_) {
    std::copy(frame + header.lame->offset, frame + header.lame->offset + kLameExtensionBytes,
              tag_.lame.begin());
    // Peak and ReplayGain describe the whole source, not a track.
    std::fill(tag_.lame.begin() + 11, tag_.lame.begin() + 19, 0);
    if (header.qualityField) tag_.quality = ReadBigEndian32(frame + *header.qualityField);
  }
}

bool ExactSplitter::Examine() {
  FrameScanner scanner(*reader_, audioStart_);
  MpegFrame frame;
  FrameScanner::Step step = scanner.Next(frame);
  if (step == FrameScanner::Step::kReadFailed) return SourceReadError();
  if (step != FrameScanner::Step::kFrame) return RefuseWithoutFrames();
  if (!HeaderIsLayer3(frame.header)) return Stop(JobOutcome::kNotLayer3);
  stream_ = frame.header;
  const unsigned char* data = Bytes(frame.position, frame.length);
  if (!data) return SourceReadError();
  vbrHeader_ = ReadVbrHeader(data, frame.length);
  const int spf = Layer3SamplesPerFrame(frame.header);
  std::copy_n("LAME", 4, tag_.lame.begin());
  if (vbrHeader_) {
    sourceHeaderIndex_ = HeaderBitRateIndex(frame.header);
    // A VBRI frame is played as a silent frame by some decoders and skipped by others: it
    // counts as the first audio frame, before a timeline that starts a frame later.
    headerFrame_ = vbrHeader_->kind != VbrHeaderKind::kVbri;
    if (vbrHeader_->frames) statedFrames_ = *vbrHeader_->frames + (headerFrame_ ? 0 : 1);
    TakeSourceTag(data, *vbrHeader_);
  }
  SourceTimeline timeline = MakeSourceTimeline(vbrHeader_, 0, spf);
  cut_.samplesPerFrame = spf;
  cut_.mpeg1 = HeaderVersion(frame.header) == MpegVersion::kMpeg1;
  cut_.delay = timeline.delay + (headerFrame_ || !vbrHeader_ ? 0 : spf);

  // Enough frames that the timeline holds a sample, or all there are.
  int64_t frames = headerFrame_ ? 0 : 1;
  while (frames <= kLookAhead && TimelineLength(frames) <= 0) {
    step = scanner.Next(frame);
    if (step == FrameScanner::Step::kReadFailed) return SourceReadError();
    if (step != FrameScanner::Step::kFrame) break;
    ++frames;
  }
  if (TimelineLength(frames) <= 0) return Stop(JobOutcome::kNoAudio);

  std::vector<int64_t> positions;
  for (const TrackEntry& entry : job_.entries) {
    positions.push_back(EntrySample(entry, SampleRate(stream_)));
  }
  if (job_.equalSegments && positions[1] <= 0) return Stop(JobOutcome::kEqualSegmentsNeedOffset);
  planner_.emplace(std::move(positions), job_.equalSegments);
  return true;
}

int64_t ExactSplitter::TimelineLength(int64_t audioFrames) const {
  // A VBRI frame is no audio frame to the timeline.
  int64_t counted = audioFrames - (vbrHeader_ && !headerFrame_ ? 1 : 0);
  if (counted <= 0) return 0;
  return static_cast<int64_t>(
      MakeSourceTimeline(vbrHeader_, static_cast<uint64_t>(counted), cut_.samplesPerFrame).length);
}

const unsigned char* ExactSplitter::Bytes(uint64_t position, size_t length) {
  const unsigned char* data = nullptr;
  size_t available = 0;
  if (!reader_->View(position, length, data, available)) return nullptr;
  if (position < windowStart_ || position + length > windowEnd_) {
    // The buffer may have moved: it holds what this view gave, at least.
    windowStart_ = position;
    windowEnd_ = position + available;
  }
  return data;
}

bool ExactSplitter::KeepWindow(uint64_t scanAt) {
  const uint64_t end = reader_->end();
  bool held = scanAt >= windowStart_ && (scanAt + kScanMargin <= windowEnd_ || windowEnd_ >= end);
  if (held || scanAt >= end) return true;
  // Pending frames are written from the buffer before it moves on.
  if (current_ && !current_->writer->Flush()) return WriterFailed(*current_);
  uint64_t keep = scanAt;
  int64_t committed = std::max<int64_t>(0, scanned_ - kLookAhead - 1);
  if (const FrameRecord* record = Recorded(std::max<int64_t>(0, committed - kKeptFrames))) {
    keep = std::min(keep, record->frame.position);
  }
  return Bytes(keep, std::min<uint64_t>(reader_->capacity(), end - keep)) || SourceReadError();
}

void ExactSplitter::Record(const MpegFrame& frame) {
  FrameRecord& record = ring_[static_cast<size_t>(scanned_ % kRingFrames)];
  record.frame = frame;
  record.areaStart = mainData_;
  mainData_ += static_cast<uint64_t>(Layer3MainDataBytes(frame.header));
  int index = HeaderBitRateIndex(frame.header);
  if (scanned_ == 0) {
    firstIndex_ = index;
  } else if (index != firstIndex_) {
    constantBitRate_ = false;
  }
  ++scanned_;
}

const FrameRecord* ExactSplitter::Recorded(int64_t index) const {
  if (index < 0 || index >= scanned_ || index < scanned_ - kRingFrames) return nullptr;
  return &ring_[static_cast<size_t>(index % kRingFrames)];
}

bool ExactSplitter::Split() {
  FrameScanner scanner(*reader_, audioStart_);
  uint64_t scanAt = audioStart_;
  windowEnd_ = 0;  // the examination's scan moved the buffer
  bool first = true;
  int64_t committed = 0;
  while (!ended_) {
    if (!KeepWindow(scanAt)) return false;
    MpegFrame frame;
    FrameScanner::Step step = scanner.Next(frame);
    if (step == FrameScanner::Step::kReadFailed) return SourceReadError();
    if (step == FrameScanner::Step::kFrame) {
      scanAt = frame.position + frame.length;
      // A scan that went looking for a frame may have moved the buffer.
      if (frame.position + kMaxFrameBytes > windowEnd_ && windowEnd_ < reader_->end()) {
        windowEnd_ = 0;
      }
      bool skip = first && headerFrame_;
      first = false;
      if (!skip) Record(frame);
    } else {
      ended_ = true;
      windowEnd_ = 0;
    }
    while (committed < scanned_ && (ended_ || scanned_ > committed + kLookAhead)) {
      if (!Commit(committed++)) return false;
    }
  }
  return Commit(scanned_);
}

int64_t ExactSplitter::TrackEnd(const Track& track) const {
  return std::min(track.bounds.end.value_or(kNoEnd), KnownTimelineEnd());
}

bool ExactSplitter::Holds(const Track& track, int64_t index) const {
  if (index < track.layout.firstFrame) return false;
  int64_t last = LastFrameBefore(cut_, TrackEnd(track));
  if (index <= last) return true;
  // A track needs two audio frames: with one, ffmpeg cannot open it.
  return !track.layout.reservoir && last == 0 && index == 1 && index < scanned_;
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
      TrackLayout layout = LayOutTrack(cut_, bounds->start);
      if (index < layout.firstFrame) return true;  // the first track begins later
      // A track past the end of the timeline, or a list whose times stop rising, ends the
      // tracks. The look-ahead makes the timeline's known end the true one here.
      if (bounds->start >= KnownTimelineEnd() || (bounds->end && *bounds->end <= bounds->start)) {
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
  if (statedFrames_) end = std::min(end, TimelineLength(static_cast<int64_t>(*statedFrames_)));
  if (end == kNoEnd) return 0;
  int64_t last = LastFrameBefore(cut_, end);
  if (!layout.reservoir) last = std::max<int64_t>(last, 1);
  return static_cast<uint64_t>(std::max<int64_t>(0, last - layout.firstFrame + 1)) +
         (layout.reservoir ? 1 : 0);
}

std::vector<unsigned char> ExactSplitter::MakeReservoir(int64_t first) {
  const MpegFrame& next = Recorded(first)->frame;
  int offset = Layer3MainDataOffset(next.header);
  int borrowed = 0;
  if (static_cast<int>(next.length) > offset) {
    const unsigned char* data = Bytes(next.position, static_cast<size_t>(offset));
    if (!data) return {};
    borrowed = MainDataBegin(data);
  }
  // The last `borrowed` bytes of the main data stream before the frame's own area; bytes
  // from before the stream (or beyond the ring) stay zero.
  std::vector<unsigned char> bytes(static_cast<size_t>(borrowed), 0);
  const uint64_t to = Recorded(first)->areaStart;
  const uint64_t from = to - std::min<uint64_t>(to, static_cast<uint64_t>(borrowed));
  for (int64_t index = first - 1; index >= 0; --index) {
    const FrameRecord* record = Recorded(index);
    if (!record || record->areaStart + Layer3MainDataBytes(record->frame.header) <= from) break;
    uint64_t areaEnd = record->areaStart + Layer3MainDataBytes(record->frame.header);
    uint64_t lo = std::max(from, record->areaStart);
    uint64_t hi = std::min(to, areaEnd);
    if (lo >= hi) continue;
    uint64_t at = record->frame.position + Layer3MainDataOffset(record->frame.header) +
                  (lo - record->areaStart);
    const unsigned char* piece = Bytes(at, static_cast<size_t>(hi - lo));
    if (!piece) return {};
    std::copy(piece, piece + (hi - lo), bytes.end() - static_cast<std::ptrdiff_t>(to - lo));
  }
  std::optional<int> cbrIndex;
  if (constantBitRate_) cbrIndex = firstIndex_;
  return MakeReservoirFrame(next.header, ReservoirIndex(next.header, borrowed, cbrIndex),
                            bytes.data(), bytes.size());
}

bool ExactSplitter::StartTrack(const TrackBounds& bounds, const TrackLayout& layout, int64_t upTo) {
  if (host_.HaltRequested()) return Stop(JobOutcome::kCancelled);
  host_.UnitStarted(static_cast<int>(nextTrack_ + 1));
  Track& track = current_.emplace();
  track.bounds = bounds;
  track.layout = layout;
  track.expectedFrames = ExpectedFrames(bounds, layout);
  track.firstPosition = Recorded(layout.firstFrame)->frame.position;
  File out;
  if (!CreateTrackFile(job_, pattern_, static_cast<int>(nextTrack_), identity_, out, track.name,
                       result_)) {
    return false;
  }
  InfoFrameFields tag = tag_;
  // Without a tag of the source's own, the method says whether the source is CBR.
  if (!trustedTag_) tag.lame[9] = constantBitRate_ ? 1 : 0;
  track.writer.emplace(std::move(out), *reader_, tag, sourceHeaderIndex_, track.expectedFrames);
  if (layout.reservoir) {
    std::vector<unsigned char> reservoir = MakeReservoir(layout.firstFrame);
    if (reservoir.empty()) return SourceReadError();
    track.reservoirBytes = reservoir.size();
    if (!track.writer->AddMadeFrame(std::move(reservoir))) return WriterFailed(track);
  }
  for (int64_t index = layout.firstFrame; index < upTo; ++index) {
    if (Holds(track, index) && !AddFrame(track, index)) return false;
  }
  return true;
}

bool ExactSplitter::AddFrame(Track& track, int64_t index) {
  const FrameRecord* record = Recorded(index);
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
  FrameScanner scanner(*reader_, track.firstPosition, stream_);
  windowEnd_ = 0;
  for (MpegFrame next; frame < frames; ++frame) {
    FrameScanner::Step step = scanner.Next(next);
    if (step == FrameScanner::Step::kReadFailed) return SourceReadError();
    if (step != FrameScanner::Step::kFrame) break;
    toc->Frame(frame, offset);
    offset += next.length;
  }
  return true;
}

bool ExactSplitter::FinishTrack() {
  Track& track = *current_;
  const int64_t samples = TrackEnd(track) - track.bounds.start;
  const int64_t frames = static_cast<int64_t>(track.writer->audioFrames());
  std::optional<TocRecorder> toc;
  if (track.writer->audioFrames() != track.expectedFrames && !RescanToc(track, toc)) return false;
  if (!track.writer->Finish(track.layout.delay, TrackPadding(cut_, track.layout, frames, samples),
                            trailer_, toc)) {
    return WriterFailed(track);
  }
  ++result_.unitsDone;
  current_.reset();
  ++nextTrack_;
  return true;
}

JobReport ExactSplitter::Run() {
  if (!OpenSource() || !Examine()) return result_;
  host_.JobStarted();
  result_.jobStarted = true;
  if (Split()) result_.outcome = JobOutcome::kCompleted;
  return result_;
}

}  // namespace

JobReport RunExactSplit(const SplitJob& job, const std::string& pattern, JobHost& host) {
  return ExactSplitter(job, pattern, host).Run();
}

}  // namespace partwell
