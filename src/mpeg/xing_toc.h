// The Xing TOC of a stream that is written front to back and whose length is known only at its
// end, in bounded memory: the offsets of every stride-th frame are kept, at most kMaxSamples of
// them (when the list is full every other one goes and the stride doubles). An entry whose
// frame was not kept takes its offset between the two kept frames around it, in proportion:
// exact while the stream has at most kMaxSamples frames, and for a constant bit rate within a
// byte of padding, far less than the 1/256 of the stream that an entry can tell.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mpeg/info_header.h"

namespace partwell {

class XingTocSampler {
 public:
  static constexpr size_t kMaxSamples = 4096;

  // The next audio frame begins `offset` bytes after the header frame's first byte.
  void AddFrame(uint64_t offset);
  uint64_t frames() const { return frames_; }

  // The TOC of the frames added, for a stream of `bytes` bytes from the header frame's first
  // byte to the end of its audio.
  std::array<uint8_t, kXingTocBytes> Toc(uint64_t bytes) const;

 private:
  std::vector<uint64_t> offsets_;  // of frames 0, stride_, 2 stride_, ...
  uint64_t stride_ = 1;
  uint64_t frames_ = 0;
};

}  // namespace partwell
