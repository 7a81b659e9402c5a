// The documented writer: a constant-bit-rate source cut by bit rate arithmetic (split_engine.h).
#include "split/split_writers.h"

#include <algorithm>
#include <optional>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/info_header.h"
#include "split/track_file.h"
#include "split/track_plan.h"
#include "split/track_tagger.h"

namespace partwell {
namespace {

// Headers are usually found within a frame of where a scan starts: scan in small views.
constexpr size_t kScanViewBytes = 4096;
// A system writes whole pages of a file faster than pieces of two.
constexpr uint64_t kPageBytes = 4096;

// Where one track ends, and whether the end of audio was reached with it.
struct TrackPlan {
  uint64_t end = 0;
  bool last = false;
};

std::vector<int64_t> Offsets(const std::vector<TrackEntry>& entries) {
  std::vector<int64_t> offsets;
  offsets.reserve(entries.size());
  for (const TrackEntry& entry : entries) offsets.push_back(entry.offset);
  return offsets;
}

class Splitter {
 public:
  Splitter(const SplitJob& job, const std::string& pattern, JobHost& host)
      : job_(job),
        pattern_(pattern),
        host_(host),
        planner_(Offsets(job.entries), job.equalSegments),
        tagger_(job) {}
  JobReport Run();

 private:
  JobReport Finish(JobOutcome outcome) {
    result_.outcome = outcome;
    return result_;
  }
  JobReport SourceReadError() {
    RecordFileError(result_, job_.sourcePath, ReadFailureText(source_));
    return result_;
  }

  // Finds the first position from `from` on whose four bytes, all before the end of audio,
  // are a frame header with the source's bit rate index.
  bool FindMatchingHeader(uint64_t from, std::optional<uint64_t>& header);
  // Where the track that begins at byte `start` ends: after its blocks, at the next header.
  bool PlanTrack(int index, uint64_t start, TrackPlan& plan);
  // The number of tracks the split writes from byte `start` on: its plans, without writing.
  bool CountTracks(uint64_t start, int& count);
  bool CountFrames(uint64_t from, uint64_t to, uint32_t& frames);
  // Writes the track's bytes [start, end) after the `written` bytes `out` holds (its ID3v2
  // tag); track 1 gets its own Info header counts.
  bool WriteTrackData(File& out, uint64_t written, int index, uint64_t start, uint64_t end,
                      bool& readFailed);
  // Writes the track with its tags to `out` and closes it; a failure goes into result_.
  bool WriteTrack(File& out, const std::string& name, int index, uint64_t start, uint64_t end);

  const SplitJob& job_;
  const std::string& pattern_;
  JobHost& host_;
  TrackPlanner planner_;
  TrackTagger tagger_;
  JobReport result_;
  File source_;
  std::optional<BufferedSource> reader_;
  std::optional<FileIdentity> sourceIdentity_;
  Trailer trailer_;
};

bool Splitter::FindMatchingHeader(uint64_t from, std::optional<uint64_t>& header) {
  header.reset();
  for (uint64_t at = from; at + 4 <= reader_->end();) {
    const unsigned char* data = nullptr;
    size_t available = 0;
    if (!reader_->View(at, kScanViewBytes, data, available) || available < 4) return false;
    for (size_t i = 0; i + 4 <= available; ++i) {
      uint32_t word = ReadBigEndian32(data + i);
      if (IsFrameHeader(word) && HeaderBitRateIndex(word) == job_.bitRateIndex) {
        header = at + i;
        return true;
      }
    }
    at += available - 3;
  }
  return true;
}

bool Splitter::PlanTrack(int index, uint64_t start, TrackPlan& plan) {
  const uint64_t endOfAudio = reader_->end();
  const uint64_t left = endOfAudio - start;
  const int64_t blockSize = BlockSize(job_.bitRate);
  const TrackBounds bounds = *planner_.Track(index);
  if (!bounds.end) {
    // Copies block after block until a read gives nothing: a free-format source (blocks of
    // 0 bytes) gives nothing at once.
    plan = {blockSize > 0 ? endOfAudio : start, true};
    return true;
  }
  int64_t blocks = *bounds.end - bounds.start;
  uint64_t blocksEnd = start;
  if (blocks > 0) {
    uint64_t blockBytes = static_cast<uint64_t>(blocks * blockSize);
    if (blockSize == 0 || left <= blockBytes) {
      // The end of audio comes within or right after the blocks.
      plan = {start + std::min(left, blockBytes), true};
      return true;
    }
    blocksEnd = start + blockBytes;
  }
  std::optional<uint64_t> header;
  if (!FindMatchingHeader(blocksEnd, header)) return false;
  plan = header ? TrackPlan{*header, false} : TrackPlan{endOfAudio, true};
  return true;
}

bool Splitter::CountTracks(uint64_t start, int& count) {
  for (count = 1;; ++count) {
    TrackPlan plan;
    if (!PlanTrack(count - 1, start, plan)) return false;
    if (plan.last) return true;
    start = plan.end;
  }
}

bool Splitter::CountFrames(uint64_t from, uint64_t to, uint32_t& frames) {
  frames = 0;
  for (uint64_t at = from; at < to;) {
    const unsigned char* data = nullptr;
    size_t available = 0;
    if (!reader_->View(at, 4, data, available)) return false;
    ++frames;
    if (available < 4) break;  // a last frame cut short by the end of audio
    uint32_t word = ReadBigEndian32(data);
    int length = IsFrameHeader(word) ? Layer3FrameLength(word) : 0;
    if (length > 0) {
      at += static_cast<uint64_t>(length);
      continue;
    }
    // Not a frame we can measure: go on at the next header, as a decoder would.
    --frames;
    std::optional<uint64_t> header;
    if (!FindMatchingHeader(at + 1, header)) return false;
    if (!header) break;
    at = *header;
  }
  return true;
}

bool Splitter::WriteTrackData(File& out, uint64_t written, int index, uint64_t start,
                              uint64_t end, bool& readFailed) {
  readFailed = false;
  if (index == 0 && start < end) {
    const unsigned char* data = nullptr;
    size_t available = 0;
    size_t span = static_cast<size_t>(std::min<uint64_t>(kInfoHeaderSpan, end - start));
    if (!reader_->View(start, span, data, available)) {
      readFailed = true;
      return false;
    }
    uint32_t word = ReadBigEndian32(data);
    size_t frameBytes = std::min<size_t>(span, static_cast<size_t>(Layer3FrameLength(word)));
    std::optional<VbrHeader> header = ReadVbrHeader(data, frameBytes);
    if (header && header->kind == VbrHeaderKind::kInfo) {
      unsigned char frame[kInfoHeaderSpan];
      std::copy(data, data + frameBytes, frame);
      uint32_t frames = 0;
      if (!CountFrames(start, end, frames)) {
        readFailed = true;
        return false;
      }
      // The frame count leaves out the Info frame itself, which holds no audio.
      VbrHeaderUpdate update;
      update.audioFrames = frames > 0 ? frames - 1 : 0;
      update.bytes = static_cast<uint32_t>(end - start);
      UpdateVbrHeader(frame, *header, update);
      if (!out.Write(frame, frameBytes)) return false;
      start += frameBytes;
      written += frameBytes;
    }
  }
  // The large writes begin on a page of the track file (a tag before the audio made a
  // tagged split a third slower).
  uint64_t head = std::min(end - start, (kPageBytes - written % kPageBytes) % kPageBytes);
  return reader_->CopyTo(out, start, start + head, readFailed) &&
         reader_->CopyTo(out, start + head, end, readFailed);
}

bool Splitter::WriteTrack(File& out, const std::string& name, int index, uint64_t start,
                          uint64_t end) {
  bool readFailed = false;
  const std::vector<unsigned char> tag = tagger_.LeadingTag(index);
  const Trailer trailer = tagger_.EndingTrailer(index, trailer_);
  if (!out.Write(tag.data(), tag.size()) ||
      !WriteTrackData(out, tag.size(), index, start, end, readFailed) ||
      (trailer.present() && !out.Write(trailer.bytes, kTrailerBytes))) {
    if (readFailed) {
      SourceReadError();
    } else {
      RecordFileError(result_, name, SystemErrorText(out.LastError()));
    }
    return false;
  }
  if (!out.Close()) {
    RecordFileError(result_, name, SystemErrorText(out.LastError()));
    return false;
  }
  ++result_.unitsDone;
  return true;
}

JobReport Splitter::Run() {
  source_ = File::OpenForReading(job_.sourcePath);
  if (!source_.IsOpen()) return SourceReadError();
  std::optional<uint64_t> endOfAudio = ReadTrailer(source_, trailer_);
  if (!endOfAudio || !tagger_.ReadSource(source_)) return SourceReadError();
  // Without it, nothing would keep a track from replacing the source.
  sourceIdentity_ = source_.Identity();
  if (!sourceIdentity_) return SourceReadError();
  reader_.emplace(source_, *endOfAudio, kSourceBufferBytes);

  host_.JobStarted();
  result_.jobStarted = true;
  uint64_t start = std::min(job_.firstFrame, *endOfAudio);
  if (job_.tags) {
    int count = 0;
    if (!CountTracks(start, count)) return SourceReadError();
    tagger_.SetTrackCount(count);
  }
  for (int index = 0;; ++index) {
    if (host_.HaltRequested()) return Finish(JobOutcome::kCancelled);
    host_.UnitStarted(index + 1);
    File out;
    std::string name;
    if (!CreateTrackFile(job_, pattern_, index, sourceIdentity_, out, name, result_)) {
      return result_;
    }
    TrackPlan plan;
    if (!PlanTrack(index, start, plan)) return SourceReadError();
    if (!WriteTrack(out, name, index, start, plan.end)) return result_;
    if (plan.last) return Finish(JobOutcome::kCompleted);
    start = plan.end;
  }
}

}  // namespace

JobReport RunDocumentedSplit(const SplitJob& job, const std::string& pattern, JobHost& host) {
  return Splitter(job, pattern, host).Run();
}

}  // namespace partwell
