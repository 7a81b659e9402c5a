// Walks the frames of an MPEG audio stream, as a decoder finds them: the first frame is a
// header whose frame is followed by another header of the same stream (or by the end of
// the audio); each next frame starts where the previous one ends; bytes that are not a frame
// of the stream (junk, a tag in the middle, a false sync) are skipped up to the next header
// that is confirmed the same way.
#pragma once

#include <array>
#include <cstdint>

#include "io/buffered_source.h"
#include "mpeg/frame_header.h"

namespace partwell {

struct MpegFrame {
  uint64_t position = 0;
  uint32_t header = 0;
  uint32_t length = 0;  // whole frame, header included
};

class FrameScanner {
 public:
  enum class Step {
    kFrame,      // `frame` is the next whole frame
    kTruncated,  // the next frame's header is there, but the end of the audio cuts it short
    kEnd,        // no further frame before the end of the audio
    kReadFailed,
  };

  // Scans `source` (up to its end) from `from`. Only frames whose header gives their length
  // count: a free-format stream has none.
  FrameScanner(BufferedSource& source, uint64_t from) : source_(source), next_(from) {}
  // Scans again from `from`, where an earlier scan of the stream that began with header
  // `stream` found a frame: the same frames follow as in that scan.
  FrameScanner(BufferedSource& source, uint64_t from, uint32_t stream)
      : source_(source), next_(from) {
    SetStream(stream);
  }

  Step Next(MpegFrame& frame);

  // Bytes passed over so far that belong to no frame, before the first frame included.
  uint64_t skippedBytes() const { return skipped_; }

 private:
  // Whether a frame of the stream begins at `at`; `frame` gets it. False when the bytes
  // there are not one; `failed` when the source could not be read.
  bool FrameAt(uint64_t at, bool confirm, MpegFrame& frame, bool& failed);
  Step Resynchronise(MpegFrame& frame);
  // The frame that follows a whole frame: kTruncated when the end of the audio cuts it short.
  Step Advance(const MpegFrame& frame);

  void SetStream(uint32_t stream);
  // The length of a frame whose header is `word`, 0 when it is no frame of the stream.
  int StreamFrameLength(uint32_t word) const {
    if (!SameStream(word, stream_)) return 0;
    return lengths_[LengthKey(word)];
  }

  BufferedSource& source_;
  uint64_t next_;
  uint32_t stream_ = 0;  // the first frame's header, once found
  uint64_t skipped_ = 0;
  // The stream's frame lengths by bit rate index, padding bit and emphasis (all else that
  // a length depends on is the stream's): a variable-bit-rate stream changes its header
  // nearly every frame, and a look-up here costs a tenth of working a length out.
  std::array<uint16_t, kLengthKeys> lengths_{};
};

// Walks the scan's frames: `visit` gets each whole frame in turn (in `frame`) and returns
// whether the walk goes on. The step that ended it: kFrame when `visit` stopped it, else the
// end, a read failure, or kTruncated with the frame cut short in `frame`.
template <typename Visit>
FrameScanner::Step ForEachFrame(FrameScanner& scanner, MpegFrame& frame, Visit visit) {
  for (;;) {
    const FrameScanner::Step step = scanner.Next(frame);
    if (step != FrameScanner::Step::kFrame || !visit(frame)) return step;
  }
}

}  // namespace partwell
