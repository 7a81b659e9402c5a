// The two codecs of a smooth seam (smooth_seam.h), behind the calls it makes: libmpg123
// decodes the source's frames around the seam, libmp3lame encodes the splice.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace partwell {

// Decodes `frames` whole Layer III frames, held one after the other in `bytes`, to
// interleaved floats: `samplesPerFrame` values per channel for each frame, in order, without
// gapless trimming. A frame the decoder leaves out (what it borrows lies before `bytes`)
// stays silent. False with `failure` when the decoder cannot start.
bool DecodeSeamFrames(const std::vector<unsigned char>& bytes, size_t frames, int samplesPerFrame,
                      int channels, std::vector<float>& pcm, std::string& failure);

// What the encoder writes: the source's sample rate, channels and channel mode (the header's
// mode bits), a constant bit rate, CRCs when the source has them.
struct SeamFormat {
  int sampleRate = 44100;
  int channels = 2;
  int mode = 1;
  int kbps = 128;
  bool crc = false;
};

class SeamEncoder {
 public:
  // Null with `failure` when the encoder refuses the format.
  static std::unique_ptr<SeamEncoder> Open(const SeamFormat& format, std::string& failure);
  ~SeamEncoder();
  SeamEncoder(const SeamEncoder&) = delete;
  SeamEncoder& operator=(const SeamEncoder&) = delete;

  // The samples the encoder puts before its input.
  int delay() const { return delay_; }
  // Encodes `samples` interleaved samples per channel of `pcm` and flushes: the frames,
  // without an Info frame, one after the other in `stream`. False with `failure`.
  bool Encode(const std::vector<float>& pcm, size_t samples, std::vector<unsigned char>& stream,
              std::string& failure);

 private:
  struct State;
  explicit SeamEncoder(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
  int delay_ = 0;
};

}  // namespace partwell
