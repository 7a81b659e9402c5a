// A whole stream at a glance: its first frame and header, its audio frames and the samples a
// gapless player plays of it (its timeline). The exact split cuts that timeline, the silence
// finder measures it, the probe reports it.
#pragma once

#include <cstdint>
#include <optional>

#include "io/file.h"
#include "mpeg/frame_scanner.h"
#include "mpeg/info_header.h"

namespace partwell {

// The samples a decoder outputs before the first sample of the first frame's audio.
constexpr int kDecoderDelay = 529;

// Of the raw output (every audio frame after the header frame decoded, nothing trimmed), a
// gapless player plays [rawStart, rawStart + length). With a LAME tag that decoders trust it
// leaves out the encoder delay and padding (of a stream with fewer frames than the tag
// states, the part of the padding its frames still hold); without one, the decoder's first
// 529 samples.
struct SourceTimeline {
  int delay = 0;
  int padding = kDecoderDelay;
  uint64_t rawStart = kDecoderDelay;
  uint64_t length = 0;
};

// The timeline of a stream of `audioFrames` frames of `samplesPerFrame` samples after the
// header frame `header` (nothing when the stream has none).
SourceTimeline MakeSourceTimeline(const std::optional<VbrHeader>& header, uint64_t audioFrames,
                                  int samplesPerFrame);

struct StreamScan {
  MpegFrame first;                     // the header frame when there is one
  std::optional<VbrHeader> vbrHeader;  // held by the first frame
  uint64_t audioFrames = 0;            // whole frames after the header frame
  bool truncatedLastFrame = false;     // left out of audioFrames
  bool constantBitRate = true;         // every audio frame has the first one's bit rate index
  uint64_t skippedBytes = 0;           // between frames, and before the first after any ID3v2 tag
  uint64_t endOfAudio = 0;             // where the ID3v1 trailer begins, or the file's size
  SourceTimeline timeline;
};

enum class StreamScanOutcome { kScanned, kNoFrames, kReadFailed, kStopped };

// Sees the audio frames of a scan as it finds them: a reader of the whole stream that needs
// no second pass (the quick levels).
class FrameVisitor {
 public:
  virtual ~FrameVisitor() = default;
  // Audio frame `frame`, its `frame.length` bytes at `bytes`; `scan` so far: its endOfAudio
  // and vbrHeader are known, its audioFrames is this frame's index, its timeline is not yet
  // made. False stops the scan: ScanStream returns kStopped.
  virtual bool Visit(const MpegFrame& frame, const unsigned char* bytes,
                     const StreamScan& scan) = 0;
};

// Scans the open file from after its leading ID3v2 tags to its end of audio, showing each
// audio frame to `visitor` when there is one.
StreamScanOutcome ScanStream(File& file, StreamScan& scan, FrameVisitor* visitor = nullptr);

}  // namespace partwell
