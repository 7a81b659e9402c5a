#include "window/playback_win.h"

#include <mmsystem.h>

#include <vector>

namespace partwell {
namespace {

// About 1.5 s queued at 44.1 kHz, so that a busy machine does not starve the device (a
// pause stops at once all the same: the queue is dropped).
constexpr int kBuffers = 8;
constexpr size_t kBufferFrames = 8192;

const char kNoDeviceText[] =
    "The sound cannot be played: this computer has no sound output that takes the file's "
    "format, or it is in use.";

}  // namespace

bool Playback::Start(long rate, int channels, int64_t firstSample, PcmReader reader,
                     std::string& failure) {
  Stop();
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(channels);
  format.nSamplesPerSec = static_cast<DWORD>(rate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(channels * 2);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!done_ || waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done_), 0,
                            CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    device_ = nullptr;
    if (done_) CloseHandle(done_);
    done_ = nullptr;
    failure = kNoDeviceText;
    return false;
  }
  channels_ = channels;
  firstSample_ = firstSample;
  stopping_ = false;
  finished_ = false;
  thread_ = std::thread(&Playback::Run, this, std::move(reader));
  return true;
}

void Playback::Run(PcmReader reader) {
  std::vector<std::vector<int16_t>> samples(kBuffers,
                                            std::vector<int16_t>(kBufferFrames * channels_));
  WAVEHDR headers[kBuffers] = {};
  bool ended = false;
  while (!stopping_) {
    for (int i = 0; i < kBuffers && !ended && !stopping_; ++i) {
      WAVEHDR& header = headers[i];
      if (header.dwFlags & WHDR_PREPARED) {
        if (!(header.dwFlags & WHDR_DONE)) continue;
        waveOutUnprepareHeader(device_, &header, sizeof header);
      }
      size_t frames = reader(samples[i].data(), kBufferFrames);
      if (frames == 0) {
        ended = true;
        break;
      }
      header = {};
      header.lpData = reinterpret_cast<LPSTR>(samples[i].data());
      header.dwBufferLength = static_cast<DWORD>(frames * channels_ * sizeof(int16_t));
      waveOutPrepareHeader(device_, &header, sizeof header);
      waveOutWrite(device_, &header, sizeof header);
    }
    if (ended) {
      int playing = 0;
      for (const WAVEHDR& header : headers) {
        if ((header.dwFlags & WHDR_PREPARED) && !(header.dwFlags & WHDR_DONE)) ++playing;
      }
      if (playing == 0) break;
    }
    WaitForSingleObject(done_, 100);
  }
  // Stop() resets the device, which marks every queued buffer done.
  for (WAVEHDR& header : headers) {
    if (!(header.dwFlags & WHDR_PREPARED)) continue;
    while (!(header.dwFlags & WHDR_DONE)) WaitForSingleObject(done_, 10);
    waveOutUnprepareHeader(device_, &header, sizeof header);
  }
  finished_ = true;
}

void Playback::Stop() {
  if (!device_) return;
  stopping_ = true;
  waveOutReset(device_);
  if (thread_.joinable()) thread_.join();
  waveOutClose(device_);
  CloseHandle(done_);
  device_ = nullptr;
  done_ = nullptr;
}

int64_t Playback::HeardSample() const {
  MMTIME time = {};
  time.wType = TIME_SAMPLES;
  if (!device_ || waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR ||
      time.wType != TIME_SAMPLES) {
    return firstSample_;
  }
  return firstSample_ + time.u.sample;
}

}  // namespace partwell
