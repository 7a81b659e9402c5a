#include "split/exact_source.h"

#include <algorithm>
#include <limits>

#include "mpeg/source_probe.h"
#include "split/track_file.h"

namespace partwell {
namespace {

constexpr size_t kBufferBytes = 1 << 20;
// The buffer moves on when the scan comes this close to the end of what it holds.
constexpr uint64_t kScanMargin = 64 * 1024;

}  // namespace

bool ExactSource::Open(const std::string& path, JobReport& report) {
  file_ = File::OpenForReading(path);
  std::optional<uint64_t> audioStart;
  std::optional<uint64_t> endOfAudio;
  if (file_.IsOpen()) {
    audioStart = SkipLeadingId3v2Tags(file_);
    endOfAudio = ReadTrailer(file_, trailer_);
    // Without it, nothing would keep a track from replacing the source.
    identity_ = file_.Identity();
  }
  if (!audioStart || !endOfAudio || !identity_) {
    RecordFileError(report, path, ReadFailureText(file_));
    return false;
  }
  reader_.emplace(file_, *endOfAudio, kBufferBytes);
  if (std::optional<JobOutcome> refusal =
          facts_.Examine(*reader_, std::min(*audioStart, *endOfAudio))) {
    report.outcome = *refusal;
    if (*refusal == JobOutcome::kFileError)
      RecordFileError(report, path, ReadFailureText(file_));
    return false;
  }
  scanner_.emplace(*reader_, facts_.audioStart);
  scanAt_ = facts_.audioStart;
  return true;
}

FrameScanner::Step ExactSource::Scan() {
  for (;;) {
    MpegFrame frame;
    FrameScanner::Step step = scanner_->Next(frame);
    if (step != FrameScanner::Step::kFrame) return step;
    scanAt_ = frame.position + frame.length;
    if (facts_.IsAudioFrame(scans_++)) {
      ring_.Record(frame);
      return step;
    }
  }
}

bool ExactSource::Holds() const {
  const BufferedSource& reader = *reader_;
  const uint64_t end = reader.end();
  return scanAt_ >= end || reader.Holds(scanAt_, std::min(kScanMargin, end - scanAt_));
}

bool ExactSource::MoveBuffer(int64_t waiting) {
  const FrameRecord* kept = ring_.Recorded(std::max<int64_t>(0, waiting - kKeptFrames));
  const uint64_t keep =
      std::min(kept ? kept->frame.position : std::numeric_limits<uint64_t>::max(), scanAt_);
  BufferedSource& reader = *reader_;
  if (keep >= reader.end()) return true;
  const unsigned char* data = nullptr;
  size_t available = 0;
  return reader.View(keep, std::min<uint64_t>(reader.capacity(), reader.end() - keep), data,
                     available);
}

}  // namespace partwell
