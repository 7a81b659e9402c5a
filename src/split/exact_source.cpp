#include "split/exact_source.h"

#include <algorithm>

#include "mpeg/frame_header.h"
#include "mpeg/side_info.h"
#include "mpeg/source_probe.h"
#include "mpeg/stream_scan.h"
#include "split/main_data_copy.h"
#include "split/track_file.h"

namespace partwell {
namespace {

constexpr size_t kBufferBytes = 1 << 20;
// Recent frames kept: a track's frames wait kExactLookAhead frames behind the scan; a new
// track needs up to four frames before that and the frames whose main data its reservoir
// frame repeats (at most 511 bytes).
constexpr int64_t kRingFrames = 1024;
// The buffer moves on when the scan comes this close to the end of what it holds.
constexpr uint64_t kScanMargin = 64 * 1024;
// The first bytes searched for a free-format header when no frame is found.
constexpr uint64_t kFreeFormatSearchBytes = 64 * 1024;
// The LAME extension's peak and ReplayGain fields: they describe the whole source.
constexpr size_t kLamePeak = 11;
constexpr size_t kLameReplayGainEnd = 19;
constexpr size_t kLameMethod = 9;

}  // namespace

ExactSource::ExactSource() : ring_(kRingFrames) {}

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
  audioStart_ = std::min(*audioStart, *endOfAudio);
  reader_.emplace(file_, *endOfAudio, kBufferBytes);
  if (!Examine(report)) {
    if (report.outcome == JobOutcome::kFileError)
      RecordFileError(report, path, ReadFailureText(file_));
    return false;
  }
  scanner_.emplace(*reader_, audioStart_);
  scanAt_ = audioStart_;
  return true;
}

bool ExactSource::RefuseWithoutFrames(JobReport& report) {
  uint64_t end = std::min(reader_->end(), audioStart_ + kFreeFormatSearchBytes);
  for (uint64_t at = audioStart_; at + 4 <= end; ++at) {
    const unsigned char* data = Bytes(at, 4);
    if (!data) return false;
    uint32_t word = ReadBigEndian32(data);
    if (IsFrameHeader(word) && HeaderIsLayer3(word) && HeaderBitRateIndex(word) == 0) {
      report.outcome = JobOutcome::kFreeFormat;
      return false;
    }
  }
  report.outcome = JobOutcome::kNoAudio;
  return false;
}

void ExactSource::TakeTag(const unsigned char* frame, const VbrHeader& header) {
  trustedTag_ = header.lame && header.lame->trusted;
  if (!trustedTag_) return;
  std::copy_n(frame + header.lame->offset, kLameExtensionBytes, tag_.lame.begin());
  std::fill(tag_.lame.begin() + kLamePeak, tag_.lame.begin() + kLameReplayGainEnd, 0);
  if (header.qualityField) tag_.quality = ReadBigEndian32(frame + *header.qualityField);
}

bool ExactSource::Examine(JobReport& report) {
  report.outcome = JobOutcome::kFileError;
  FrameScanner scanner(*reader_, audioStart_);
  MpegFrame frame;
  FrameScanner::Step step = scanner.Next(frame);
  if (step == FrameScanner::Step::kReadFailed) return false;
  if (step != FrameScanner::Step::kFrame) return RefuseWithoutFrames(report);
  if (!HeaderIsLayer3(frame.header)) {
    report.outcome = JobOutcome::kNotLayer3;
    return false;
  }
  stream_ = frame.header;
  sampleRate_ = SampleRate(frame.header);
  const unsigned char* data = Bytes(frame.position, frame.length);
  if (!data) return false;
  vbrHeader_ = ReadVbrHeader(data, frame.length);
  const int spf = Layer3SamplesPerFrame(frame.header);
  std::copy_n("LAME", 4, tag_.lame.begin());
  if (vbrHeader_) {
    headerIndex_ = HeaderBitRateIndex(frame.header);
    // A VBRI frame is played as a silent frame by some decoders and skipped by others: it
    // counts as the first audio frame, before a timeline that starts a frame later.
    headerFrame_ = vbrHeader_->kind != VbrHeaderKind::kVbri;
    if (vbrHeader_->frames) statedFrames_ = *vbrHeader_->frames + (headerFrame_ ? 0 : 1);
    TakeTag(data, *vbrHeader_);
  }
  cut_.samplesPerFrame = spf;
  cut_.mpeg1 = HeaderVersion(frame.header) == MpegVersion::kMpeg1;
  cut_.delay =
      MakeSourceTimeline(vbrHeader_, 0, spf).delay + (headerFrame_ || !vbrHeader_ ? 0 : spf);

  // Enough frames that the timeline holds a sample, or all there are.
  int64_t frames = headerFrame_ ? 0 : 1;
  while (frames <= kExactLookAhead && TimelineLength(frames) <= 0) {
    step = scanner.Next(frame);
    if (step == FrameScanner::Step::kReadFailed) return false;
    if (step != FrameScanner::Step::kFrame) break;
    ++frames;
  }
  if (TimelineLength(frames) <= 0) {
    report.outcome = JobOutcome::kNoAudio;
    return false;
  }
  return true;
}

InfoFrameFields ExactSource::Tag() const {
  InfoFrameFields tag = tag_;
  // Without a tag of the source's own, the method says whether the source is CBR.
  if (!trustedTag_) tag.lame[kLameMethod] = constantBitRate_ ? 1 : 0;
  return tag;
}

int64_t ExactSource::TimelineLength(int64_t audioFrames) const {
  // A VBRI frame is no audio frame to the timeline.
  int64_t counted = audioFrames - (vbrHeader_ && !headerFrame_ ? 1 : 0);
  if (counted <= 0) return 0;
  return static_cast<int64_t>(
      MakeSourceTimeline(vbrHeader_, static_cast<uint64_t>(counted), cut_.samplesPerFrame).length);
}

FrameScanner::Step ExactSource::Scan() {
  for (;;) {
    MpegFrame frame;
    FrameScanner::Step step = scanner_->Next(frame);
    if (step != FrameScanner::Step::kFrame) return step;
    scanAt_ = frame.position + frame.length;
    bool header = first_ && headerFrame_;
    first_ = false;
    if (!header) {
      Record(frame);
      return step;
    }
  }
}

void ExactSource::Record(const MpegFrame& frame) {
  FrameRecord& record = ring_[static_cast<uint64_t>(scanned_) % kRingFrames];
  record.frame = frame;
  record.areaStart = mainData_;
  const uint32_t offset = static_cast<uint32_t>(Layer3MainDataOffset(frame.header));
  mainData_ += frame.length > offset ? frame.length - offset : 0;
  const int index = HeaderBitRateIndex(frame.header);
  if (scanned_ == 0) firstIndex_ = index;
  constantBitRate_ = constantBitRate_ && index == firstIndex_;
  ++scanned_;
}

const FrameRecord* ExactSource::Recorded(int64_t index) const {
  if (index < 0 || index >= scanned_ || index < scanned_ - kRingFrames) return nullptr;
  return &ring_[static_cast<uint64_t>(index) % kRingFrames];
}

std::optional<int> ExactSource::ConstantIndex() const {
  if (scanned_ == 0 || !constantBitRate_) return std::nullopt;
  return firstIndex_;
}

bool ExactSource::Holds() const {
  const uint64_t end = reader_->end();
  return scanAt_ >= end || reader_->Holds(scanAt_, std::min(kScanMargin, end - scanAt_));
}

bool ExactSource::KeepFrom(uint64_t position) {
  const uint64_t keep = std::min(position, scanAt_);
  if (keep >= reader_->end()) return true;
  return Bytes(keep, std::min<uint64_t>(reader_->capacity(), reader_->end() - keep)) != nullptr;
}

const unsigned char* ExactSource::Bytes(uint64_t position, size_t length) {
  const unsigned char* data = nullptr;
  size_t available = 0;
  return reader_->View(position, length, data, available) ? data : nullptr;
}

FrameScanner ExactSource::ScannerFrom(uint64_t position) {
  return FrameScanner(*reader_, position, stream_);
}

bool ExactSource::Borrowed(int64_t index, std::vector<unsigned char>& bytes) {
  const FrameRecord& next = *Recorded(index);
  const int offset = Layer3MainDataOffset(next.frame.header);
  int count = 0;
  if (static_cast<int>(next.frame.length) > offset) {
    const unsigned char* data = Bytes(next.frame.position, static_cast<size_t>(offset));
    if (!data) return false;
    count = MainDataBegin(data);
  }
  bytes.assign(static_cast<size_t>(count), 0);
  const uint64_t to = next.areaStart;
  const uint64_t from = to - std::min<uint64_t>(to, static_cast<uint64_t>(count));
  // Frames beyond the ring: only a stream of tiny frames gets there.
  return CopyMainData([this](int64_t i) { return Recorded(i); }, index - 1, from, to,
                      bytes.data() + (bytes.size() - (to - from)),
                      [this](uint64_t at, size_t length) { return Bytes(at, length); });
}

}  // namespace partwell
