// Large buffered reads of a source, bounded by a fixed buffer and an end position that
// no read goes past (a split never reads its source's trailer as audio).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "io/file.h"

namespace partwell {

// The buffer of a split's, a join's or a scan's reads of a source.
constexpr size_t kSourceBufferBytes = size_t{1} << 20;

class BufferedSource {
 public:
  // The buffer is allocated once: `capacity` bytes, or fewer when the bytes up to `end` are
  // fewer (a small file costs little). Views are at most `capacity` bytes long.
  BufferedSource(File& file, uint64_t end, size_t capacity);

  uint64_t end() const { return end_; }
  size_t capacity() const { return buffer_.size(); }

  // Makes the bytes from `position` available: at least min(want, end - position) of them,
  // perhaps more, in `data` and `available`. False when a read fails or the file holds
  // fewer bytes than `end` promised. `want` must not exceed the `capacity` the source was
  // made with.
  bool View(uint64_t position, size_t want, const unsigned char*& data, size_t& available);

  // Whether the buffer holds the `length` bytes from `position` on: a View of them reads nothing.
  bool Holds(uint64_t position, size_t length) const {
    return position >= start_ && position + length <= start_ + length_;
  }
  // The `length` bytes from `position` when the buffer holds them, else null: a look that
  // never reads, for the scans' per-frame path.
  const unsigned char* Held(uint64_t position, size_t length) const {
    return Holds(position, length) ? buffer_.data() + (position - start_) : nullptr;
  }

  // Writes the bytes [from, to) to `out`; `to` must not pass end(). What the buffer holds of
  // them is written from it, the rest read into the buffer and written a buffer at a time.
  CopyStatus CopyTo(File& out, uint64_t from, uint64_t to);

  File& file() { return file_; }

 private:
  File& file_;
  uint64_t end_;
  std::vector<unsigned char> buffer_;
  uint64_t start_ = 0;  // file position of buffer_[0]
  size_t length_ = 0;   // bytes held
};

}  // namespace partwell
