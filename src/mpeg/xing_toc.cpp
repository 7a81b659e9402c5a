#include "mpeg/xing_toc.h"

namespace partwell {

void XingTocSampler::AddFrame(uint64_t offset) {
  if (frames_ % stride_ == 0 && offsets_.size() == kMaxSamples) {
    for (size_t i = 0; 2 * i < offsets_.size(); ++i) offsets_[i] = offsets_[2 * i];
    offsets_.resize(kMaxSamples / 2);
    stride_ *= 2;
  }
  if (frames_ % stride_ == 0) offsets_.push_back(offset);
  ++frames_;
}

std::array<uint8_t, kXingTocBytes> XingTocSampler::Toc(uint64_t bytes) const {
  std::array<uint8_t, kXingTocBytes> toc{};
  if (offsets_.empty()) return toc;
  for (int i = 0; i < static_cast<int>(kXingTocBytes); ++i) {
    uint64_t frame = XingTocFrame(i, frames_);
    size_t kept = static_cast<size_t>(frame / stride_);
    uint64_t keptFrame = kept * stride_;
    uint64_t offset = offsets_[kept];
    if (frame > keptFrame) {
      // Between this kept frame and the next one, or the end of the stream.
      bool last = kept + 1 == offsets_.size();
      uint64_t nextFrame = last ? frames_ : keptFrame + stride_;
      uint64_t nextOffset = last ? bytes : offsets_[kept + 1];
      uint64_t span = nextOffset > offset ? nextOffset - offset : 0;
      offset += span * (frame - keptFrame) / (nextFrame - keptFrame);
    }
    toc[static_cast<size_t>(i)] = XingTocEntry(offset, bytes);
  }
  return toc;
}

}  // namespace partwell
