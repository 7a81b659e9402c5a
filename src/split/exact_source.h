// The source of an exact split: its stream as the cut arithmetic sees it (the tag's delay
// and padding, the samples per frame, what a track's Info frame takes from the source's),
// scanned once with a ring of recent frames. The ring gives a new track its warm-up frames
// and the main data its reservoir frame repeats; nothing else is kept per frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/frame_scanner.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/info_header.h"
#include "job/job_report.h"
#include "split/exact_layout.h"

namespace partwell {

// Frames go to their tracks this many frames behind the scan. The timeline ends the source's
// padding (at most 4095 samples, 8 frames) before the end of its last frame, so by then it is
// known whether the timeline holds a frame and whether a track starts.
constexpr int64_t kExactLookAhead = 16;

struct FrameRecord {
  MpegFrame frame;
  uint64_t areaStart = 0;  // of its main data area in the main data stream
};

class ExactSource {
 public:
  ExactSource();

  // Opens the file and reads its first frames. False, with the refusal or the file error in
  // `report`, when it cannot be cut: no frame to decode, free format, Layer I or II.
  bool Open(const std::string& path, JobReport& report);

  const CutSource& cut() const { return cut_; }
  int sampleRate() const { return sampleRate_; }
  uint32_t stream() const { return stream_; }  // the first frame's header
  const Trailer& trailer() const { return trailer_; }
  uint64_t audioStart() const { return audioStart_; }  // after the leading ID3v2 tags
  const std::optional<FileIdentity>& identity() const { return identity_; }
  BufferedSource& reader() { return *reader_; }
  // The fields a track's Info frame takes from the source's tag; without a tag that
  // decoders trust, "LAME" and the method (CBR or not) as the source is so far.
  InfoFrameFields Tag() const;
  std::optional<int> headerIndex() const { return headerIndex_; }  // of its Info/Xing/VBRI frame
  std::optional<uint64_t> statedFrames() const { return statedFrames_; }
  // The timeline's length when the stream has `audioFrames` audio frames.
  int64_t TimelineLength(int64_t audioFrames) const;

  // Scans the next frame into the ring (the Info or Xing frame is no audio frame).
  FrameScanner::Step Scan();
  int64_t scanned() const { return scanned_; }
  // Audio frame `index` while the ring holds it.
  const FrameRecord* Recorded(int64_t index) const;
  // The bit rate index of all audio frames so far, when they share one.
  std::optional<int> ConstantIndex() const;

  // Whether the buffer holds the bytes the scan reads next, with room to spare; when not, the
  // buffer moves on with KeepFrom (pending writes from it go first).
  bool Holds() const;
  bool KeepFrom(uint64_t position);
  // `length` bytes at `position`: at most the buffer's capacity. Null when a read failed.
  const unsigned char* Bytes(uint64_t position, size_t length);

  // A scan that finds the frames again from `position`, where one of the stream's began.
  FrameScanner ScannerFrom(uint64_t position);

  // The last main_data_begin bytes of the main data stream before audio frame `index`'s own
  // area: what it borrows. Bytes from before the stream stay zero. False when a read failed.
  bool Borrowed(int64_t index, std::vector<unsigned char>& bytes);

  File& file() { return file_; }

 private:
  bool Examine(JobReport& report);
  bool RefuseWithoutFrames(JobReport& report);
  void TakeTag(const unsigned char* frame, const VbrHeader& header);
  void Record(const MpegFrame& frame);

  File file_;
  Trailer trailer_;
  std::optional<FileIdentity> identity_;
  std::optional<BufferedSource> reader_;
  uint64_t audioStart_ = 0;

  uint32_t stream_ = 0;
  int sampleRate_ = 0;
  bool headerFrame_ = false;  // the first frame is an Info/Xing frame, not audio
  std::optional<VbrHeader> vbrHeader_;
  CutSource cut_;
  InfoFrameFields tag_;
  bool trustedTag_ = false;
  std::optional<int> headerIndex_;
  std::optional<uint64_t> statedFrames_;

  std::optional<FrameScanner> scanner_;
  bool first_ = true;
  std::vector<FrameRecord> ring_;
  int64_t scanned_ = 0;
  uint64_t scanAt_ = 0;
  uint64_t mainData_ = 0;
  int firstIndex_ = 0;
  bool constantBitRate_ = true;
};

}  // namespace partwell
