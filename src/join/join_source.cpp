#include "join/join_source.h"

namespace partwell {

JoinSource::Opened JoinSource::Open(const std::string& path) {
  Opened opened = source_.Open(path);
  if (opened != Opened::kOpened) return opened;
  const SourceLayout& layout = source_.layout();
  // Tags that would run past the end of the audio are not tags.
  tagsEnd_ = layout.tagsEnd <= layout.endOfAudio ? layout.tagsEnd : 0;

  BufferedSource& reader = source_.reader();
  MpegFrame frame;
  FrameScanner scanner(reader, tagsEnd_);
  FrameScanner::Step step = scanner.Next(frame);
  if (step == FrameScanner::Step::kReadFailed) return Opened::kReadFailed;
  if (step != FrameScanner::Step::kFrame) return Opened::kOpened;
  firstFrame_ = frame;
  const unsigned char* data = nullptr;
  size_t available = 0;
  if (!reader.View(frame.position, frame.length, data, available)) return Opened::kReadFailed;
  vbrHeader_ = ReadVbrHeader(data, frame.length);
  if (vbrHeader_) headerFrame_.assign(data, data + frame.length);
  return Opened::kOpened;
}

uint64_t JoinSource::audioStart() const {
  if (!firstFrame_) return endOfAudio();
  return firstFrame_->position + (vbrHeader_ ? firstFrame_->length : 0);
}

std::optional<DelayPadding> JoinSource::trustedDelayPadding() const {
  if (!vbrHeader_ || !vbrHeader_->lame || !vbrHeader_->lame->trusted) return std::nullopt;
  return DelayPadding{vbrHeader_->lame->delay, vbrHeader_->lame->padding};
}

}  // namespace partwell
