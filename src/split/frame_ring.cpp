#include "split/frame_ring.h"

#include <algorithm>

#include "mpeg/side_info.h"

namespace partwell {
namespace {

const unsigned char* Bytes(BufferedSource& source, uint64_t position, size_t length) {
  const unsigned char* data = nullptr;
  size_t available = 0;
  return source.View(position, length, data, available) ? data : nullptr;
}

}  // namespace

void FrameRing::Record(const MpegFrame& frame) {
  FrameRecord& record = ring_[static_cast<uint64_t>(recorded_) % kRingFrames];
  record.frame = frame;
  record.areaStart = mainData_;
  const uint32_t offset = static_cast<uint32_t>(Layer3MainDataOffset(frame.header));
  mainData_ += frame.length > offset ? frame.length - offset : 0;
  const int index = HeaderBitRateIndex(frame.header);
  if (recorded_ == 0) firstIndex_ = index;
  constantBitRate_ = constantBitRate_ && index == firstIndex_;
  ++recorded_;
}

const FrameRecord* FrameRing::Recorded(int64_t index) const {
  if (index < 0 || index >= recorded_ || index < recorded_ - kRingFrames) return nullptr;
  return &ring_[static_cast<uint64_t>(index) % kRingFrames];
}

std::optional<int> FrameRing::ConstantIndex() const {
  if (recorded_ == 0 || !constantBitRate_) return std::nullopt;
  return firstIndex_;
}

bool FrameRing::Borrowed(int64_t index, BufferedSource& source,
                         std::vector<unsigned char>& bytes) const {
  const FrameRecord& next = *Recorded(index);
  const int offset = Layer3MainDataOffset(next.frame.header);
  int count = 0;
  if (static_cast<int>(next.frame.length) > offset) {
    const unsigned char* data = Bytes(source, next.frame.position, static_cast<size_t>(offset));
    if (!data) return false;
    count = MainDataBegin(data);
  }
  bytes.assign(static_cast<size_t>(count), 0);
  const uint64_t to = next.areaStart;
  const uint64_t from = to - std::min<uint64_t>(to, static_cast<uint64_t>(count));
  for (int64_t earlier = index - 1; earlier >= 0; --earlier) {
    const FrameRecord* record = Recorded(earlier);
    if (!record) break;  // beyond the ring: only a stream of tiny frames gets here
    const uint64_t areaEnd = record->areaStart + Layer3MainDataBytes(record->frame.header);
    if (areaEnd <= from) break;
    const uint64_t lo = std::max(from, record->areaStart);
    const uint64_t hi = std::min(to, areaEnd);
    if (lo >= hi) continue;
    const uint64_t at = record->frame.position + Layer3MainDataOffset(record->frame.header) +
                        (lo - record->areaStart);
    const unsigned char* piece = Bytes(source, at, static_cast<size_t>(hi - lo));
    if (!piece) return false;
    std::copy(piece, piece + (hi - lo), bytes.end() - static_cast<std::ptrdiff_t>(to - lo));
  }
  return true;
}

}  // namespace partwell
