// Playback through the system's wave output (winmm waveOut), fed on a thread of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace partwell {

// Gives up to `frames` samples per channel, interleaved 16-bit, into its buffer; 0 at the
// end. It runs on the playback thread, and may prepare what it plays at its first call.
using PcmReader = std::function<size_t(int16_t* out, size_t frames)>;

class Playback {
 public:
  Playback() = default;
  ~Playback() { Stop(); }
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Opens the wave output for `rate` and `channels` and starts playing what `reader` gives;
  // the readout counts from `firstSample`. False, with the words to show, when the system
  // has no wave output that takes the format.
  bool Start(long rate, int channels, int64_t firstSample, PcmReader reader, std::string& failure);
  // Stops at once (what is queued is dropped) and waits for the thread.
  void Stop();
  // True from Start until the last sample has been heard or Stop.
  bool Playing() const { return thread_.joinable() && !finished_; }
  // The sample being heard: firstSample plus what the device has played.
  int64_t HeardSample() const;

 private:
  void Run(PcmReader reader);

  HWAVEOUT device_ = nullptr;
  HANDLE done_ = nullptr;  // set by the device whenever a buffer has been played
  int channels_ = 0;
  int64_t firstSample_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace partwell
