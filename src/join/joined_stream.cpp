#include "join/joined_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "mpeg/frame_header.h"
#include "mpeg/stream_scan.h"

namespace partwell {

void JoinedStream::SetHeader(std::vector<unsigned char> frame, const VbrHeader& header,
                             uint64_t position) {
  frame_ = std::move(frame);
  header_ = header;
  position_ = position;
}

void JoinedStream::AddFrame(uint64_t position, uint32_t header) {
  if (cut_ && cut_->end == position) Count(cut_->position, cut_->header);
  cut_.reset();
  Count(position, header);
}

void JoinedStream::AddCutFrame(uint64_t position, uint32_t header, uint32_t length) {
  cut_ = CutFrame{position + length, position, header};
}

void JoinedStream::Count(uint64_t position, uint32_t header) {
  if (toc_.frames() == 0) firstAudioHeader_ = header;
  oneBitRate_ = oneBitRate_ && SameBitRate(header, firstAudioHeader_);
  toc_.AddFrame(position - position_);
}

void JoinedStream::AddBytes(const unsigned char* data, size_t length) {
  musicCrc_ = Crc16(data, length, musicCrc_);
}

void JoinedStream::SetLastPadding(std::optional<int> padding) {
  // Of a source without a trusted LAME tag a player plays every frame to its end; a padding
  // of the decoder's delay ends the joined stream there too.
  lastPadding_ = padding.value_or(kDecoderDelay);
}

std::vector<unsigned char> JoinedStream::UpdatedHeaderFrame(uint64_t endOfAudio) const {
  std::vector<unsigned char> frame = frame_;
  if (!header_) return frame;
  // "Info" says the bit rate is constant: a joined stream whose rate varies says "Xing".
  if (header_->kind == VbrHeaderKind::kInfo && !oneBitRate_) {
    std::memcpy(frame.data() + header_->offset, "Xing", 4);
  }
  const uint64_t bytes = endOfAudio - position_;
  const std::array<uint8_t, kXingTocBytes> toc = toc_.Toc(bytes);
  VbrHeaderUpdate update;
  update.audioFrames = Saturated32(toc_.frames());
  update.bytes = Saturated32(bytes);
  update.toc = &toc;
  update.padding = lastPadding_;
  update.musicCrc = musicCrc_;
  UpdateVbrHeader(frame.data(), *header_, update);
  return frame;
}

}  // namespace partwell
