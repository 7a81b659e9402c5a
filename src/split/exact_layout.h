// The arithmetic of an exact cut: which frames a track of the source's timeline needs, and
// the encoder delay and padding its tag states so that decoders play exactly that slice.
//
// A decoder's raw output is every audio frame's samples, nothing trimmed; sample r comes from
// frame r / spf (spf samples per frame). The timeline (what a gapless player plays) starts at
// raw sample D + 529: the encoder delay D of the source's tag, then the decoder's own delay.
// A cut at timeline sample s lies at raw sample R = s + D + 529, in frame f = R / spf at
// x = R % spf. A frame's output depends on the frames before it (its borrowed main data, the
// overlap of the transform, the synthesis filter's history), so a track starts n frames
// early: a made-up reservoir frame that holds the borrowed bytes, then the warm-up frames
// w .. f - 1 of the source, copied unchanged. n is 2 for MPEG-1 (two granules a frame) and
// 3 for MPEG-2 and 2.5 (one granule), one more when f - n is odd and the delay stays at
// most 3000: mpg123's synthesis then rounds as it did in the whole source. Tracks near the
// start (w <= 0) keep the source's frames from its first and need no reservoir frame.
#pragma once

#include <cstdint>
#include <optional>

#include "mpeg/info_header.h"

namespace partwell {

// What the cut arithmetic needs to know of a source.
struct CutSource {
  int samplesPerFrame = 1152;
  bool mpeg1 = true;
  int64_t delay = 0;  // D: raw samples before the timeline, less the decoder's 529
};

struct TrackLayout {
  int64_t cutFrame = 0;    // f: the frame that holds the track's first sample
  int64_t firstFrame = 0;  // the first source frame the track copies (w, or 0 near the start)
  bool reservoir = false;  // a reservoir frame stands before the first source frame
  int delay = 0;           // the encoder delay the track's tag states
};

// The raw sample where timeline sample `sample` lies.
inline int64_t RawSample(const CutSource& source, int64_t sample) {
  return sample + source.delay + kDecoderDelay;
}

// The frame that holds the last sample before timeline sample `end`: a track that ends at
// `end` copies the source's frames up to it.
inline int64_t LastFrameBefore(const CutSource& source, int64_t end) {
  return (RawSample(source, end) - 1) / source.samplesPerFrame;
}

// The layout of a track that begins at timeline sample `start` (0 or more).
TrackLayout LayOutTrack(const CutSource& source, int64_t start);

// The padding a track's tag states: the samples of its `audioFrames` frames after the
// delay and its `samples` samples.
inline int64_t TrackPadding(const CutSource& source, const TrackLayout& layout, int64_t audioFrames,
                            int64_t samples) {
  return audioFrames * source.samplesPerFrame - layout.delay - samples;
}

// The bit rate index of a reservoir frame before a frame with header `next` that borrows
// `borrowed` bytes: `cbrIndex` (the source's, when it is a constant-bit-rate source) when its
// frame holds them and one fill byte, else the smallest index that does.
int ReservoirIndex(uint32_t next, int borrowed, std::optional<int> cbrIndex);

// The header of a track's Info frame, made from the header of its first audio frame
// `first`: at `sharedIndex` when all its audio frames have that bit rate index, else at
// `sourceHeaderIndex` (the source's own Info, Xing or VBRI frame's), when either holds the
// tag; else at the smallest index that does. No CRC.
uint32_t InfoHeader(uint32_t first, std::optional<int> sharedIndex,
                    std::optional<int> sourceHeaderIndex);

}  // namespace partwell
