// The joined file's audio as the join writes it, and the header frame that speaks for it: the
// first source's Xing, Info or VBRI frame, or a Xing frame of our own. The header is written
// first as it stands and rewritten at the end with the joined stream's numbers, which the join
// gathers here as it writes: the audio frames and where they begin, whether their bit rate
// varies, and the CRC of every byte after the header frame.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "mpeg/info_header.h"
#include "mpeg/xing_toc.h"

namespace partwell {

class JoinedStream {
 public:
  // The header frame `frame`, holding `header`, is written at `position` of the joined file.
  void SetHeader(std::vector<unsigned char> frame, const VbrHeader& header, uint64_t position);
  bool hasHeader() const { return header_.has_value(); }
  const std::vector<unsigned char>& headerFrame() const { return frame_; }
  uint64_t headerPosition() const { return position_; }

  // An audio frame with the frame header `header` is written at `position` (after the header
  // frame, when there is one).
  void AddFrame(uint64_t position, uint32_t header);
  // The end of a source cuts short the frame of `length` bytes at `position`: the bytes that
  // follow in the joined file may complete it. It counts when the next frame begins where it
  // ends, as a decoder then plays it whole.
  void AddCutFrame(uint64_t position, uint32_t header, uint32_t length);
  // Whether the header, once set, states a music CRC (a LAME extension whose tag CRC holds) ...
  bool wantsMusicCrc() const { return header_ && header_->lame && header_->lame->tagCrcHolds; }
  // ... of these bytes, written after the header frame.
  void AddBytes(const unsigned char* data, size_t length);
  // The joined stream ends with a source whose encoder padding is this (it has a trusted LAME
  // tag), or is unknown (nothing).
  void SetLastPadding(std::optional<int> padding);
  // The header frame with the joined stream's numbers, for a stream that ends `endOfAudio`
  // bytes into the joined file.
  std::vector<unsigned char> UpdatedHeaderFrame(uint64_t endOfAudio) const;

 private:
  void Count(uint64_t position, uint32_t header);

  std::optional<VbrHeader> header_;
  std::vector<unsigned char> frame_;
  uint64_t position_ = 0;
  XingTocSampler toc_;
  struct CutFrame {
    uint64_t end;
    uint64_t position;
    uint32_t header;
  };
  std::optional<CutFrame> cut_;
  uint32_t firstAudioHeader_ = 0;
  bool oneBitRate_ = true;  // every audio frame has the first one's bit rate
  uint16_t musicCrc_ = 0;
  int lastPadding_ = 0;
};

}  // namespace partwell
