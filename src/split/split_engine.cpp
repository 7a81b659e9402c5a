#include "split/split_engine.h"

#include <algorithm>
#include <optional>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/info_header.h"
#include "split/track_naming.h"

namespace partwell {
namespace {

constexpr size_t kSourceBufferBytes = 1 << 20;
// Headers are usually found within a frame of where a scan starts: scan in small views.
constexpr size_t kScanViewBytes = 4096;

// Where one track ends, and whether the end of audio was reached with it.
struct TrackPlan {
  uint64_t end = 0;
  bool last = false;
};

class Splitter {
 public:
  Splitter(const SplitJob& job, JobHost& host) : job_(job), host_(host) {}
  JobReport Run();

 private:
  JobReport Finish(JobOutcome outcome) {
    result_.outcome = outcome;
    return result_;
  }
  JobReport FileError(const std::string& path, const std::string& reason) {
    result_.failedPath = path;
    result_.failureReason = reason;
    return Finish(JobOutcome::kFileError);
  }
  JobReport SourceReadError() {
    return FileError(job_.sourcePath, ReadFailureText(source_));
  }

  // Finds the first position from `from` on whose four bytes, all before the end of audio,
  // are a frame header with the source's bit rate index.
  bool FindMatchingHeader(uint64_t from, std::optional<uint64_t>& header);
  bool PlanTrack(int index, uint64_t start, TrackPlan& plan);
  bool CountFrames(uint64_t from, uint64_t to, uint32_t& frames);
  // Writes the track's bytes [start, end); track 1 gets its own Info header counts.
  bool WriteTrackData(File& out, int index, uint64_t start, uint64_t end, bool& readFailed);
  JobReport WriteTrack(int index, uint64_t start, TrackPlan& plan);

  const SplitJob& job_;
  JobHost& host_;
  JobReport result_;
  File source_;
  std::optional<BufferedSource> reader_;
  std::optional<FileIdentity> sourceIdentity_;
  Trailer trailer_;
  std::string pattern_;
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
  const auto& entries = job_.entries;
  const size_t next = static_cast<size_t>(index) + 1;

  bool runsToEnd = !job_.equalSegments && next >= entries.size();
  if (runsToEnd) {
    // Copies block after block until a read gives nothing: a free-format source (blocks of
    // 0 bytes) gives nothing at once.
    plan = {blockSize > 0 ? endOfAudio : start, true};
    return true;
  }
  int64_t blocks = job_.equalSegments
                       ? entries[1].offset
                       : int64_t{entries[next].offset} - entries[static_cast<size_t>(index)].offset;
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

bool Splitter::WriteTrackData(File& out, int index, uint64_t start, uint64_t end,
                              bool& readFailed) {
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
    }
  }
  return reader_->CopyTo(out, start, end, readFailed);
}

JobReport Splitter::WriteTrack(int index, uint64_t start, TrackPlan& plan) {
  const TrackEntry* entry =
      static_cast<size_t>(index) < job_.entries.size() ? &job_.entries[index] : nullptr;
  std::optional<std::string> name = MakeTrackFileName(pattern_, job_.sourcePath, entry, index);
  if (!name) {
    return FileError(pattern_, "the track's file name would be longer than 259 characters");
  }
  if (sourceIdentity_ && IdentifyPath(*name) == sourceIdentity_) {
    return FileError(*name, "the track's file would replace the source file");
  }
  File out = File::CreateAlways(*name);
  if (!out.IsOpen()) return FileError(*name, SystemErrorText(out.LastError()));
  bool readFailed = false;
  if (!PlanTrack(index, start, plan)) return SourceReadError();
  if (!WriteTrackData(out, index, start, plan.end, readFailed) ||
      (trailer_.present() && !out.Write(trailer_.bytes, kTrailerBytes))) {
    if (readFailed) return SourceReadError();
    return FileError(*name, SystemErrorText(out.LastError()));
  }
  if (!out.Close()) return FileError(*name, SystemErrorText(out.LastError()));
  ++result_.unitsDone;
  return Finish(JobOutcome::kCompleted);
}

JobReport Splitter::Run() {
  if (!CheckNameChars(job_.nameTemplate)) return Finish(JobOutcome::kInvalidTemplate);
  if (job_.equalSegments && job_.entries.size() < 2) {
    return Finish(JobOutcome::kEqualSegmentsNeedOffset);
  }
  if (job_.entries.empty()) return Finish(JobOutcome::kEmptyList);
  pattern_ = BuildTrackNamePattern(job_.folder, job_.sourcePath, job_.nameTemplate);

  source_ = File::OpenForReading(job_.sourcePath);
  if (!source_.IsOpen()) return SourceReadError();
  std::optional<uint64_t> endOfAudio = ReadTrailer(source_, trailer_);
  if (!endOfAudio) return SourceReadError();
  sourceIdentity_ = source_.Identity();
  reader_.emplace(source_, *endOfAudio, kSourceBufferBytes);

  host_.JobStarted();
  result_.jobStarted = true;
  uint64_t start = std::min(job_.firstFrame, *endOfAudio);
  for (int index = 0;; ++index) {
    if (host_.HaltRequested()) return Finish(JobOutcome::kCancelled);
    host_.UnitStarted(index + 1);
    TrackPlan plan;
    JobReport written = WriteTrack(index, start, plan);
    if (written.outcome != JobOutcome::kCompleted || plan.last) return written;
    start = plan.end;
  }
}

}  // namespace

JobReport RunSplit(const SplitJob& job, JobHost& host) { return Splitter(job, host).Run(); }

}  // namespace partwell
