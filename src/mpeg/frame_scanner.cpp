#include "mpeg/frame_scanner.h"

namespace partwell {
namespace {

bool ReadWord(BufferedSource& source, uint64_t at, uint32_t& word, bool& failed) {
  const unsigned char* data = nullptr;
  size_t available = 0;
  if (!source.View(at, 4, data, available)) {
    failed = true;
    return false;
  }
  word = ReadBigEndian32(data);
  return true;
}

}  // namespace

void FrameScanner::SetStream(uint32_t stream) {
  stream_ = stream;
  for (uint32_t key = 0; key < lengths_.size(); ++key) {
    lengths_[key] = static_cast<uint16_t>(FrameLength(HeaderOfLengthKey(stream, key)));
  }
}

bool FrameScanner::FrameAt(uint64_t at, bool confirm, MpegFrame& frame, bool& failed) {
  const uint64_t end = source_.end();
  uint32_t word = 0;
  if (at + 4 > end || !ReadWord(source_, at, word, failed)) return false;
  int length = stream_ != 0 ? StreamFrameLength(word) : FrameLength(word);
  if (length <= 0) return false;
  frame = {at, word, static_cast<uint32_t>(length)};
  if (!confirm) return true;
  uint64_t next = at + static_cast<uint64_t>(length);
  if (next > end) return false;
  if (next + 4 > end) return true;  // the audio ends before another header would
  uint32_t following = 0;
  return ReadWord(source_, next, following, failed) && FrameLength(following) > 0 &&
         SameStream(following, word);
}

FrameScanner::Step FrameScanner::Resynchronise(MpegFrame& frame) {
  bool failed = false;
  for (uint64_t at = next_; at + 4 <= source_.end(); ++at) {
    if (FrameAt(at, true, frame, failed)) {
      skipped_ += at - next_;
      if (stream_ == 0) SetStream(frame.header);
      return Step::kFrame;
    }
    if (failed) return Step::kReadFailed;
  }
  skipped_ += source_.end() > next_ ? source_.end() - next_ : 0;
  next_ = source_.end();
  return Step::kEnd;
}

FrameScanner::Step FrameScanner::Advance(const MpegFrame& frame) {
  uint64_t frameEnd = frame.position + frame.length;
  if (frameEnd > source_.end()) {
    next_ = source_.end();
    return Step::kTruncated;
  }
  next_ = frameEnd;
  return Step::kFrame;
}

FrameScanner::Step FrameScanner::Next(MpegFrame& frame) {
  // Nearly every frame: in step, its header in the buffer already.
  if (const unsigned char* at = stream_ != 0 ? source_.Held(next_, 4) : nullptr) {
    uint32_t word = ReadBigEndian32(at);
    if (int length = StreamFrameLength(word)) {
      frame = {next_, word, static_cast<uint32_t>(length)};
      return Advance(frame);
    }
  }
  bool failed = false;
  bool inStep = stream_ != 0 && FrameAt(next_, false, frame, failed);
  if (failed) return Step::kReadFailed;
  if (!inStep) {
    Step found = Resynchronise(frame);
    if (found != Step::kFrame) return found;
  }
  return Advance(frame);
}

}  // namespace partwell
