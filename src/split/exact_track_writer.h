// One track file of an exact split, written in a single pass: its Info frame first (a
// placeholder of the final size; after the track's ID3v2 tag when it has one), then its
// audio frames as they come (a made-up reservoir frame, then runs of the source's frames
// copied from the source's buffer), then the ID3v1 trailer (track_output.h); at the end the
// Info frame is written again with the track's own numbers, which leave the ID3v2 tag out. The Info
// frame's size depends on whether all audio frames share one bit rate, so its first write
// waits until that is known or the frames so far must be written.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/frame_scanner.h"
#include "mpeg/info_header.h"

namespace partwell {

// Offsets of the audio frames that a Xing TOC points at, for an expected frame count:
// entry i is taken at frame floor(i x frames / 100).
class TocRecorder {
 public:
  explicit TocRecorder(uint64_t expectedFrames) : expected_(expectedFrames) {}
  // Audio frame `frame` (0-based, each in turn) begins `offset` bytes after the first audio
  // frame. Inline: every frame is offered, a hundred are taken.
  void Frame(uint64_t frame, uint64_t offset) {
    if (frame == due_) Take(frame, offset);
  }
  // The TOC of a track whose audio frames begin `lead` bytes into its `bytes` bytes.
  std::array<uint8_t, kXingTocBytes> Toc(uint64_t lead, uint64_t bytes) const;

 private:
  void Take(uint64_t frame, uint64_t offset);

  uint64_t expected_;
  size_t next_ = 0;
  uint64_t due_ = 0;  // the frame of entry next_
  std::array<uint64_t, kXingTocBytes> offsets_{};
};

class ExactTrackWriter {
 public:
  enum class Failure { kNone, kRead, kWrite };

  // `out` holds the track's first `infoPosition` bytes already (its ID3v2 tag), and outlives
  // the writer; `tag` holds
  // the fields taken from the source (quality, LAME extension bytes); `sourceHeaderIndex` is
  // the bit rate index of the source's own Info/Xing/VBRI frame.
  ExactTrackWriter(File& out, uint64_t infoPosition, BufferedSource& source,
                   const InfoFrameFields& tag, std::optional<int> sourceHeaderIndex,
                   uint64_t expectedFrames);

  // The track's audio frames in order: a made-up frame, or a frame of the source.
  bool AddMadeFrame(std::vector<unsigned char> frame);
  bool AddSourceFrame(const MpegFrame& frame);
  // Writes every pending byte; the Info frame's size is settled now if it was still open.
  bool Flush();

  // Writes the final Info frame over the first, once every frame and the trailer are
  // written. `toc` replaces the recorded offsets when given.
  bool WriteInfoFrame(int delay, int64_t padding, const std::optional<TocRecorder>& toc);

  uint64_t audioFrames() const { return frames_; }
  Failure failure() const { return failure_; }

 private:
  void Count(uint32_t header, uint64_t bytes);
  bool WritePending();
  bool Write(const unsigned char* data, size_t size, bool crc);
  bool Fail(Failure failure);

  File& out_;
  uint64_t infoPosition_;
  BufferedSource& source_;
  InfoFrameFields tag_;
  std::optional<int> sourceHeaderIndex_;
  TocRecorder toc_;
  Failure failure_ = Failure::kNone;

  uint32_t firstHeader_ = 0;            // of the first audio frame
  bool allShare_ = true;                // every audio frame has the first one's bit rate index
  std::optional<uint32_t> infoHeader_;  // once the Info frame's size is settled
  bool infoWritten_ = false;
  uint64_t frames_ = 0;
  uint64_t bytes_ = 0;  // of the audio frames
  uint16_t musicCrc_ = 0;

  std::vector<unsigned char> made_;  // a made-up frame not yet written
  uint64_t runStart_ = 0;            // source frames not yet written: [runStart_, runEnd_)
  uint64_t runEnd_ = 0;
};

}  // namespace partwell
