// The recent frames of a one-pass scan of a Layer III stream: where each audio frame lies and
// where its main data area begins in the stream's main data. A writer hands frames to their
// tracks kExactLookAhead frames behind the scan; a new track needs warm-up frames before its
// first one (kKeptFrames) and the frames whose main data its reservoir frame repeats.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "io/buffered_source.h"
#include "mpeg/frame_scanner.h"

namespace partwell {

// Frames go to their tracks this many frames behind the scan. The timeline ends the source's
// padding (at most 4095 samples, 8 frames) before the end of its last frame, so by then it is
// known whether the timeline holds a frame and whether a track starts.
constexpr int64_t kExactLookAhead = 16;
// Frames before the ones waiting for their tracks that a new track may still need (its
// warm-up frames): the source's buffer keeps them when it moves on.
constexpr int64_t kKeptFrames = 8;
// Frames the ring holds: the waiting and kept frames, and before them the frames whose main
// data a reservoir frame repeats (at most 511 bytes: a few frames but in a stream of tiny ones).
constexpr int64_t kRingFrames = 1024;
static_assert(kExactLookAhead + kKeptFrames < kRingFrames,
              "the ring holds every frame that waits for its track or that a new track needs");

struct FrameRecord {
  MpegFrame frame;
  uint64_t areaStart = 0;  // of its main data area in the main data stream
};

class FrameRing {
 public:
  FrameRing() : ring_(kRingFrames) {}

  // The next audio frame of the scan.
  void Record(const MpegFrame& frame);
  int64_t recorded() const { return recorded_; }
  // Audio frame `index` while the ring holds it.
  const FrameRecord* Recorded(int64_t index) const;
  // The bit rate index of all audio frames so far, when they share one.
  std::optional<int> ConstantIndex() const;
  bool constantBitRate() const { return constantBitRate_; }

  // The last main_data_begin bytes of the main data stream before audio frame `index`'s own
  // area: what it borrows, read from `source`. Bytes from before the stream stay zero. False
  // when a read failed.
  bool Borrowed(int64_t index, BufferedSource& source, std::vector<unsigned char>& bytes) const;

 private:
  std::vector<FrameRecord> ring_;
  int64_t recorded_ = 0;
  uint64_t mainData_ = 0;
  int firstIndex_ = 0;
  bool constantBitRate_ = true;
};

}  // namespace partwell
