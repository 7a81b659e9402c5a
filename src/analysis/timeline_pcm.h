// A stretch of a source's timeline as 16-bit PCM, for playback: decoded by libmpg123 in
// bounded memory, the samples before the stretch dropped, and the same to the last bit as a
// decode from the file's start: MPEG-1 stereo from a frame at least kStretchWarmUpFrames
// before the stretch (so that a stretch late in an hour starts at once), other sources from
// the start of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "io/file.h"

namespace partwell {

class TimelinePcm {
 public:
  // Opens `path` and readies samples [from, to) of its timeline (cut at its end); null with
  // `failure` set when the file cannot be opened or holds no audio.
  static std::unique_ptr<TimelinePcm> Open(const std::string& path, uint64_t from, uint64_t to,
                                           std::string& failure);
  // The last `samples` samples of the file's timeline (all of it when it is shorter).
  static std::unique_ptr<TimelinePcm> OpenLast(const std::string& path, uint64_t samples,
                                               std::string& failure);
  ~TimelinePcm();

  long rate() const { return rate_; }
  int channels() const { return channels_; }
  // Up to `frames` samples per channel, interleaved, into `out`; 0 once the stretch has
  // been read, or where the file or the decoder fails (the sound then ends there).
  size_t Read(int16_t* out, size_t frames);

 private:
  struct Decoder;
  TimelinePcm() = default;
  // Opens the file and readies the stretch that `stretch` picks from the timeline's length.
  template <typename PickStretch>
  static std::unique_ptr<TimelinePcm> OpenStretch(const std::string& path, PickStretch stretch,
                                                  std::string& failure);
  bool Refill();

  File file_;
  std::unique_ptr<Decoder> decoder_;
  long rate_ = 0;
  int channels_ = 0;
  uint64_t position_ = 0;  // samples per channel of raw output decoded so far
  uint64_t begin_ = 0;     // the stretch in raw output
  uint64_t end_ = 0;
  const int16_t* pending_ = nullptr;  // decoded and not yet read
  size_t pendingFrames_ = 0;
};

}  // namespace partwell
