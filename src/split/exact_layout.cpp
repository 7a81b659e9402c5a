#include "split/exact_layout.h"

#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "mpeg/side_info.h"

namespace partwell {
namespace {

bool Holds(uint32_t header, size_t bytes) {
  return static_cast<size_t>(Layer3MainDataBytes(header)) >= bytes;
}

}  // namespace

TrackLayout LayOutTrack(const CutSource& source, int64_t start) {
  const int64_t spf = source.samplesPerFrame;
  const int64_t raw = RawSample(source, start);
  TrackLayout layout;
  layout.cutFrame = raw / spf;
  const int64_t x = raw % spf;
  int64_t n = source.mpeg1 ? 2 : 3;
  if ((layout.cutFrame - n) % 2 != 0 && x + (n + 1) * spf - kDecoderDelay <= kMaxTagDelay) {
    ++n;
  }
  const int64_t warmUp = layout.cutFrame - n + 1;
  layout.reservoir = warmUp > 0;
  layout.firstFrame = layout.reservoir ? warmUp : 0;
  layout.delay =
      static_cast<int>(layout.reservoir ? x + n * spf - kDecoderDelay : raw - kDecoderDelay);
  return layout;
}

int ReservoirIndex(uint32_t next, int borrowed, std::optional<int> cbrIndex) {
  size_t needed = static_cast<size_t>(borrowed) + 1;
  if (cbrIndex && *cbrIndex > 0 && Holds(MadeUpHeader(next, *cbrIndex), needed)) return *cbrIndex;
  return SmallestIndexHolding(next, needed);
}

uint32_t InfoHeader(uint32_t first, std::optional<int> sharedIndex,
                    std::optional<int> sourceHeaderIndex) {
  uint32_t plain = first | kNoCrcBit;
  std::optional<int> index = sharedIndex ? sharedIndex : sourceHeaderIndex;
  if (!index || *index <= 0 || !Holds(MadeUpHeader(plain, *index), kInfoTagBytes)) {
    index = SmallestIndexHolding(plain, kInfoTagBytes);
  }
  return MadeUpHeader(plain, *index);
}

}  // namespace partwell
