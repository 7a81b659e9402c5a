#include "io/buffered_source.h"

#include <algorithm>
#include <cstring>

namespace partwell {
namespace {

// A miss reads at least this much, so that small views in a row cost one read.
constexpr size_t kMinimumRead = 64 * 1024;

}  // namespace

BufferedSource::BufferedSource(File& file, uint64_t end, size_t capacity)
    : file_(file),
      end_(end),
      buffer_(static_cast<size_t>(std::clamp<uint64_t>(end, 1, std::max<size_t>(capacity, 1)))) {}

bool BufferedSource::View(uint64_t position, size_t want, const unsigned char*& data,
                          size_t& available) {
  uint64_t left = position < end_ ? end_ - position : 0;
  size_t needed = static_cast<size_t>(std::min<uint64_t>(want, left));
  uint64_t held_end = start_ + length_;
  if (position >= start_ && position + needed <= held_end) {
    data = buffer_.data() + (position - start_);
    available = static_cast<size_t>(std::min<uint64_t>(held_end - position, left));
    return true;
  }
  // Keep what is held from `position` on and read after it; otherwise start afresh.
  if (position >= start_ && position < held_end) {
    size_t kept = static_cast<size_t>(held_end - position);
    std::memmove(buffer_.data(), buffer_.data() + (position - start_), kept);
    length_ = kept;
  } else {
    length_ = 0;
  }
  start_ = position;
  size_t room = buffer_.size() - length_;
  size_t toRead = std::max(needed - std::min(needed, length_), std::min(kMinimumRead, room));
  toRead = static_cast<size_t>(std::min<uint64_t>({toRead, room, left - length_}));
  size_t got = 0;
  bool ok = file_.Seek(start_ + length_) && file_.Read(buffer_.data() + length_, toRead, got);
  length_ += got;
  // Every byte before the end is promised: a read that ends sooner finds a file cut short.
  if (!ok || got < toRead) {
    length_ = 0;
    return false;
  }
  data = buffer_.data();
  available = length_;
  return true;
}

CopyStatus BufferedSource::CopyTo(File& out, uint64_t from, uint64_t to) {
  if (to > end_) return CopyStatus::kReadFailed;
  if (from < to && Holds(from, 1)) {
    size_t held = static_cast<size_t>(std::min<uint64_t>(start_ + length_, to) - from);
    if (!out.Write(buffer_.data() + (from - start_), held)) return CopyStatus::kWriteFailed;
    from += held;
  }
  if (from >= to) return CopyStatus::kDone;
  // The copy passes through the buffer: it holds nothing afterwards.
  length_ = 0;
  return CopyFileRange(file_, from, to - from, out, buffer_);
}

}  // namespace partwell
