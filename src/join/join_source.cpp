#include "join/join_source.h"

#include "mpeg/id3v1_trailer.h"
#include "mpeg/source_probe.h"

namespace partwell {

JoinSource::Opened JoinSource::Open(const std::string& path) {
  file_ = File::OpenForReading(path);
  if (!file_.IsOpen()) return Opened::kCannotOpen;
  std::optional<AudioExtent> extent = FindAudioExtent(file_);
  std::optional<uint64_t> tagsEnd = SkipLeadingId3v2Tags(file_);
  if (!extent || !tagsEnd) return Opened::kReadFailed;
  // Tags that would run past the end of the audio are not tags.
  tagsEnd_ = *tagsEnd <= extent->endOfAudio ? *tagsEnd : 0;
  reader_.emplace(file_, extent->endOfAudio, kSourceBufferBytes);

  MpegFrame frame;
  FrameScanner scanner(*reader_, tagsEnd_);
  FrameScanner::Step step = scanner.Next(frame);
  if (step == FrameScanner::Step::kReadFailed) return Opened::kReadFailed;
  if (step != FrameScanner::Step::kFrame) return Opened::kOpened;
  firstFrame_ = frame;
  const unsigned char* data = nullptr;
  size_t available = 0;
  if (!reader_->View(frame.position, frame.length, data, available)) return Opened::kReadFailed;
  vbrHeader_ = ReadVbrHeader(data, frame.length);
  if (vbrHeader_) headerFrame_.assign(data, data + frame.length);
  return Opened::kOpened;
}

uint64_t JoinSource::audioStart() const {
  if (!firstFrame_) return endOfAudio();
  return firstFrame_->position + (vbrHeader_ ? firstFrame_->length : 0);
}

}  // namespace partwell
