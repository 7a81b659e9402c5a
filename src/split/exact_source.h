// The source of an exact split, scanned once: the stream's facts (exact_stream_facts.h), a
// ring of its recent frames (frame_ring.h) and the buffer that writers copy frames from. The
// ring gives a new track its warm-up frames and the main data its reservoir frame repeats;
// nothing else is kept per frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/buffered_source.h"
#include "io/file.h"
#include "job/job_report.h"
#include "mpeg/frame_scanner.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/info_header.h"
#include "mpeg/source_file.h"
#include "split/exact_stream_facts.h"
#include "split/frame_ring.h"

namespace partwell {

class ExactSource {
 public:
  // What KeepBuffer did.
  enum class BufferMove { kHeld, kMoved, kFlushFailed, kReadFailed };

  // Opens the file and reads its first frames. False, with the refusal or the file error in
  // `report`, when it cannot be cut: no frame to decode, free format, Layer I or II.
  bool Open(const std::string& path, JobReport& report);

  const ExactStreamFacts& facts() const { return facts_; }
  const FrameRing& ring() const { return ring_; }
  const Trailer& trailer() const { return source_.layout().trailer; }
  const std::optional<FileIdentity>& identity() const { return source_.identity(); }
  BufferedSource& reader() { return source_.reader(); }
  File& file() { return source_.file(); }
  // The fields a track's Info frame takes from the source: the method as the source is so far.
  InfoFrameFields Tag() const { return facts_.Tag(ring_.constantBitRate()); }
  // The timeline's length when the stream has `audioFrames` audio frames.
  int64_t TimelineLength(int64_t audioFrames) const { return facts_.TimelineLength(audioFrames); }

  // Scans the next frame into the ring (the Info or Xing frame is no audio frame).
  FrameScanner::Step Scan();
  int64_t scanned() const { return ring_.recorded(); }
  const FrameRecord* Recorded(int64_t index) const { return ring_.Recorded(index); }

  // The rule every writer from this source keeps: the buffer moves on when the scan comes near
  // the end of what it holds, and before it does, `flush` writes every byte still pending
  // from it. It then keeps the frames from kKeptFrames before frame `waiting` (the first one
  // not yet handed to its track) on.
  template <typename Flush>
  BufferMove KeepBuffer(int64_t waiting, Flush flush) {
    if (Holds()) return BufferMove::kHeld;
    if (!flush()) return BufferMove::kFlushFailed;
    return MoveBuffer(waiting) ? BufferMove::kMoved : BufferMove::kReadFailed;
  }

  // For a writer that keeps the whole source's frames (the cut writer): whether the buffer
  // holds the bytes the scan reads next, with room to spare; when not, the buffer moves on
  // with KeepFrom (pending writes from it go first).
  bool Holds() const;
  bool KeepFrom(uint64_t position);
  // `length` bytes at `position`: at most the buffer's capacity. Null when a read failed.
  const unsigned char* Bytes(uint64_t position, size_t length);

  // A scan that finds the frames again from `position`, where one of the stream's began.
  FrameScanner ScannerFrom(uint64_t position) {
    return FrameScanner(source_.reader(), position, facts_.stream);
  }
  // What audio frame `index` borrows of the main data before it (FrameRing::Borrowed).
  bool Borrowed(int64_t index, std::vector<unsigned char>& bytes) {
    return ring_.Borrowed(index, source_.reader(), bytes);
  }

 private:
  bool MoveBuffer(int64_t waiting);

  SourceFile source_;
  ExactStreamFacts facts_;
  FrameRing ring_;
  std::optional<FrameScanner> scanner_;
  int64_t scans_ = 0;  // frames scanned, the header frame included
  uint64_t scanAt_ = 0;
};

}  // namespace partwell
