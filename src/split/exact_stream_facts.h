// What an exact cut needs to know of a Layer III stream before its frames go to tracks, found
// from its first frames: its first frame's header and rate, the Info, Xing or VBRI frame it
// may begin with, the cut arithmetic's view of it (exact_layout.h), its timeline, and the
// fields a track's Info frame takes from the source's.
#pragma once

#include <cstdint>
#include <optional>

#include "io/buffered_source.h"
#include "job/job_report.h"
#include "mpeg/info_header.h"
#include "split/exact_layout.h"

namespace partwell {

struct ExactStreamFacts {
  uint64_t audioStart = 0;  // after the leading ID3v2 tags
  uint32_t stream = 0;      // the first frame's header
  int sampleRate = 0;
  bool headerFrame = false;  // the first frame is an Info/Xing frame, not audio
  std::optional<VbrHeader> vbrHeader;
  CutSource cut;
  std::optional<int> headerIndex;        // the bit rate index of its Info/Xing/VBRI frame
  std::optional<uint64_t> statedFrames;  // the audio frames its header frame states
  InfoFrameFields tag;                   // from a tag that decoders trust, else "LAME"
  bool trustedTag = false;

  // Reads the first frames of the stream that `reader` holds from `start` on. The refusal
  // when it cannot be cut (kFreeFormat, kNotLayer3, kNoAudio; kFileError when a read failed),
  // else nothing.
  std::optional<JobOutcome> Examine(BufferedSource& reader, uint64_t start);

  // The fields a track's Info frame takes from the source's tag; without a tag that
  // decoders trust, "LAME" and the method: CBR when `constantBitRate`.
  InfoFrameFields Tag(bool constantBitRate) const;
  // The timeline's length when the stream has `audioFrames` audio frames.
  int64_t TimelineLength(int64_t audioFrames) const;
  // Whether the scan's frame `scanned` (0 for the first) is an audio frame.
  bool IsAudioFrame(int64_t scanned) const { return scanned > 0 || !headerFrame; }
};

}  // namespace partwell
