#include "split/exact_track_writer.h"

#include <algorithm>
#include <limits>

#include "mpeg/frame_header.h"
#include "split/exact_layout.h"

namespace partwell {
namespace {

// A run of source frames is written when it reaches this size.
constexpr uint64_t kRunLimit = 512 * 1024;

}  // namespace

void TocRecorder::Take(uint64_t frame, uint64_t offset) {
  while (next_ < kXingTocBytes && XingTocFrame(static_cast<int>(next_), expected_) == frame) {
    offsets_[next_++] = offset;
  }
  due_ = next_ < kXingTocBytes ? XingTocFrame(static_cast<int>(next_), expected_)
                               : std::numeric_limits<uint64_t>::max();
}

std::array<uint8_t, kXingTocBytes> TocRecorder::Toc(uint64_t lead, uint64_t bytes) const {
  std::array<uint8_t, kXingTocBytes> toc{};
  for (size_t i = 0; i < kXingTocBytes; ++i) toc[i] = XingTocEntry(lead + offsets_[i], bytes);
  return toc;
}

ExactTrackWriter::ExactTrackWriter(File& out, uint64_t infoPosition, BufferedSource& source,
                                   const InfoFrameFields& tag, std::optional<int> sourceHeaderIndex,
                                   uint64_t expectedFrames)
    : out_(out),
      infoPosition_(infoPosition),
      source_(source),
      tag_(tag),
      sourceHeaderIndex_(sourceHeaderIndex),
      toc_(expectedFrames) {}

void ExactTrackWriter::Count(uint32_t header, uint64_t bytes) {
  if (frames_ == 0) firstHeader_ = header;
  allShare_ = allShare_ && HeaderBitRateIndex(header) == HeaderBitRateIndex(firstHeader_);
  toc_.Frame(frames_, bytes_);
  ++frames_;
  bytes_ += bytes;
}

bool ExactTrackWriter::AddMadeFrame(std::vector<unsigned char> frame) {
  // The frames before it go out first: a made frame is written ahead of the pending run.
  if ((!made_.empty() || runEnd_ > runStart_) && !Flush()) return false;
  Count(ReadBigEndian32(frame.data()), frame.size());
  made_ = std::move(frame);
  return true;
}

bool ExactTrackWriter::AddSourceFrame(const MpegFrame& frame) {
  Count(frame.header, frame.length);
  if (frame.position != runEnd_ || runEnd_ - runStart_ + frame.length > kRunLimit) {
    if (!Flush()) return false;
    runStart_ = runEnd_ = frame.position;
  }
  runEnd_ += frame.length;
  return true;
}

bool ExactTrackWriter::Flush() { return WritePending(); }

bool ExactTrackWriter::Fail(Failure failure) {
  failure_ = failure;
  return false;
}

bool ExactTrackWriter::Write(const unsigned char* data, size_t size, bool crc) {
  if (crc) musicCrc_ = Crc16(data, size, musicCrc_);
  return out_.Write(data, size) || Fail(Failure::kWrite);
}

bool ExactTrackWriter::WritePending() {
  if (frames_ == 0) return true;
  if (!infoHeader_) {
    // Settled with what is known now: whether the frames so far share one bit rate.
    std::optional<int> shared;
    if (allShare_) shared = HeaderBitRateIndex(firstHeader_);
    infoHeader_ = InfoHeader(firstHeader_, shared, sourceHeaderIndex_);
  }
  if (!infoWritten_) {
    InfoFrameFields placeholder = tag_;
    placeholder.header = *infoHeader_;
    std::vector<unsigned char> info = MakeInfoFrame(placeholder);
    if (!Write(info.data(), info.size(), false)) return false;
    infoWritten_ = true;
  }
  if (!made_.empty()) {
    if (!Write(made_.data(), made_.size(), true)) return false;
    made_.clear();
  }
  if (runEnd_ > runStart_) {
    const unsigned char* data = nullptr;
    size_t available = 0;
    size_t size = static_cast<size_t>(runEnd_ - runStart_);
    if (!source_.View(runStart_, size, data, available)) return Fail(Failure::kRead);
    if (!Write(data, size, true)) return false;
    runStart_ = runEnd_;
  }
  return true;
}

bool ExactTrackWriter::WriteInfoFrame(int delay, int64_t padding,
                                      const std::optional<TocRecorder>& toc) {
  std::optional<int> shared;
  if (allShare_) shared = HeaderBitRateIndex(firstHeader_);
  uint32_t header = InfoHeader(firstHeader_, shared, sourceHeaderIndex_);
  // The frame written first keeps its size: a guess that the bit rate stays turned out wrong.
  if (Layer3FrameLength(header) != Layer3FrameLength(*infoHeader_)) header = *infoHeader_;
  InfoFrameFields fields = tag_;
  fields.header = header;
  fields.xing = !allShare_;
  fields.audioFrames = Saturated32(frames_);
  uint64_t infoBytes = static_cast<uint64_t>(Layer3FrameLength(header));
  fields.bytes = Saturated32(infoBytes + bytes_);
  fields.toc = (toc ? *toc : toc_).Toc(infoBytes, infoBytes + bytes_);
  fields.delay = delay;
  fields.padding = static_cast<int>(padding);
  fields.musicCrc = musicCrc_;
  std::vector<unsigned char> info = MakeInfoFrame(fields);
  return (out_.Seek(infoPosition_) && out_.Write(info.data(), info.size())) ||
         Fail(Failure::kWrite);
}

}  // namespace partwell
