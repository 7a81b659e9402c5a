#include "split/exact_source.h"

#include <algorithm>
#include <limits>

namespace partwell {
namespace {

// The buffer moves on when the scan comes this close to the end of what it holds.
constexpr uint64_t kScanMargin = 64 * 1024;

}  // namespace

bool ExactSource::Open(const std::string& path, JobReport& report) {
  SourceFile::Opened opened = source_.Open(path);
  if (opened != SourceFile::Opened::kOpened) {
    return report.FailFile(path, source_.FailureText(opened));
  }
  if (std::optional<JobOutcome> refusal =
          facts_.Examine(source_.reader(), source_.layout().audioStart())) {
    if (*refusal == JobOutcome::kFileError) return report.FailFile(path, ReadFailureText(file()));
    report.outcome = *refusal;
    return false;
  }
  scanner_.emplace(source_.reader(), facts_.audioStart);
  scanAt_ = facts_.audioStart;
  return true;
}

FrameScanner::Step ExactSource::Scan() {
  MpegFrame frame;
  return ForEachFrame(*scanner_, frame, [this](const MpegFrame& next) {
    scanAt_ = next.position + next.length;
    if (!facts_.IsAudioFrame(scans_++)) return true;
    ring_.Record(next);
    return false;
  });
}

bool ExactSource::Holds() const {
  const BufferedSource& reader = source_.reader();
  const uint64_t end = reader.end();
  return scanAt_ >= end || reader.Holds(scanAt_, std::min(kScanMargin, end - scanAt_));
}

bool ExactSource::MoveBuffer(int64_t waiting) {
  const FrameRecord* kept = ring_.Recorded(std::max<int64_t>(0, waiting - kKeptFrames));
  const uint64_t keep =
      std::min(kept ? kept->frame.position : std::numeric_limits<uint64_t>::max(), scanAt_);
  BufferedSource& reader = source_.reader();
  if (keep >= reader.end()) return true;
  const unsigned char* data = nullptr;
  size_t available = 0;
  return reader.View(keep, std::min<uint64_t>(reader.capacity(), reader.end() - keep), data,
                     available);
}

bool ExactSource::KeepFrom(uint64_t position) {
  BufferedSource& reader = source_.reader();
  const uint64_t keep = std::min(position, scanAt_);
  if (keep >= reader.end()) return true;
  return Bytes(keep, std::min<uint64_t>(reader.capacity(), reader.end() - keep)) != nullptr;
}

const unsigned char* ExactSource::Bytes(uint64_t position, size_t length) {
  const unsigned char* data = nullptr;
  size_t available = 0;
  return source_.reader().View(position, length, data, available) ? data : nullptr;
}

}  // namespace partwell
