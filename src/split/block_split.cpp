// The documented writer: a constant-bit-rate source cut by bit rate arithmetic (split_engine.h).
#include "split/split_writers.h"

#include <algorithm>
#include <optional>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/info_header.h"
#include "mpeg/source_file.h"
#include "split/track_file.h"
#include "split/track_output.h"
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
        host_(host),
        planner_(Offsets(job.entries), job.equalSegments),
        tagger_(job),
        output_(job, pattern, host, tagger_, result_) {}
  JobReport Run();

 private:
  bool Split();
  BufferedSource& reader() { return source_.reader(); }
  bool SourceReadError() { return output_.SourceFailed(source_.file()); }

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
  CopyStatus WriteTrackData(File& out, uint64_t written, int index, uint64_t start, uint64_t end);
  // Writes the begun track's audio and ends it; a failure goes into result_.
  bool WriteTrack(int index, uint64_t start, uint64_t end);

  const SplitJob& job_;
  JobHost& host_;
  TrackPlanner planner_;
  TrackTagger tagger_;
  JobReport result_;
  TrackOutput output_;
  SourceFile source_;
};

bool Splitter::FindMatchingHeader(uint64_t from, std::optional<uint64_t>& header) {
  header.reset();
  for (uint64_t at = from; at + 4 <= reader().end();) {
    const unsigned char* data = nullptr;
    size_t available = 0;
    if (!reader().View(at, kScanViewBytes, data, available) || available < 4) return false;
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
  const uint64_t endOfAudio = reader().end();
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
    if (!reader().View(at, 4, data, available)) return false;
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

CopyStatus Splitter::WriteTrackData(File& out, uint64_t written, int index, uint64_t start,
                                    uint64_t end) {
  if (index == 0 && start < end) {
    const unsigned char* data = nullptr;
    size_t available = 0;
    size_t span = static_cast<size_t>(std::min<uint64_t>(kInfoHeaderSpan, end - start));
    if (!reader().View(start, span, data, available)) return CopyStatus::kReadFailed;
    uint32_t word = ReadBigEndian32(data);
    size_t frameBytes = std::min<size_t>(span, static_cast<size_t>(Layer3FrameLength(word)));
    std::optional<VbrHeader> header = ReadVbrHeader(data, frameBytes);
    if (header && header->kind == VbrHeaderKind::kInfo) {
      unsigned char frame[kInfoHeaderSpan];
      std::copy(data, data + frameBytes, frame);
      uint32_t frames = 0;
      if (!CountFrames(start, end, frames)) return CopyStatus::kReadFailed;
      // The frame count leaves out the Info frame itself, which holds no audio.
      VbrHeaderUpdate update;
      update.audioFrames = frames > 0 ? frames - 1 : 0;
      update.bytes = static_cast<uint32_t>(end - start);
      UpdateVbrHeader(frame, *header, update);
      if (!out.Write(frame, frameBytes)) return CopyStatus::kWriteFailed;
      start += frameBytes;
      written += frameBytes;
    }
  }
  // The large writes begin on a page of the track file (a tag before the audio made a
  // tagged split a third slower).
  uint64_t head = std::min(end - start, (kPageBytes - written % kPageBytes) % kPageBytes);
  CopyStatus status = reader().CopyTo(out, start, start + head);
  return status == CopyStatus::kDone ? reader().CopyTo(out, start + head, end) : status;
}

bool Splitter::WriteTrack(int index, uint64_t start, uint64_t end) {
  switch (WriteTrackData(output_.file(), output_.tagBytes(), index, start, end)) {
    case CopyStatus::kReadFailed:
      return SourceReadError();
    case CopyStatus::kWriteFailed:
      return output_.WriteFailed();
    case CopyStatus::kDone:
      break;
  }
  return output_.End(source_.layout().trailer);
}

JobReport Splitter::Run() {
  if (Split()) result_.outcome = JobOutcome::kCompleted;
  return result_;
}

bool Splitter::Split() {
  SourceFile::Opened opened = source_.Open(job_.sourcePath);
  if (opened != SourceFile::Opened::kOpened) {
    return result_.FailFile(job_.sourcePath, source_.FailureText(opened));
  }
  if (!tagger_.ReadSource(source_.file())) return SourceReadError();

  host_.JobStarted();
  result_.jobStarted = true;
  uint64_t start = std::min(job_.firstFrame, source_.layout().endOfAudio);
  if (job_.tags) {
    int count = 0;
    if (!CountTracks(start, count)) return SourceReadError();
    tagger_.SetTrackCount(count);
  }
  for (int index = 0;; ++index) {
    if (!output_.Begin(index, source_.identity())) return false;
    TrackPlan plan;
    if (!PlanTrack(index, start, plan)) return SourceReadError();
    if (!WriteTrack(index, start, plan.end)) return false;
    if (plan.last) return true;
    start = plan.end;
  }
}

}  // namespace

JobReport RunBlockSplit(const SplitJob& job, const std::string& pattern, JobHost& host) {
  return Splitter(job, pattern, host).Run();
}

}  // namespace partwell
