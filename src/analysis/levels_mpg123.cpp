// The libmpg123 backend of MeasureLoudness: the source is read in chunks and fed to the
// decoder, which decodes frame by frame to 32-bit floats, without gapless trimming, so
// that its output is the raw output the timeline is counted on.
#include <mpg123.h>

#include <cstring>
#include <memory>
#include <optional>

#include "analysis/loudness_levels.h"
#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"

namespace partwell {
namespace {

constexpr size_t kChunkBytes = 64 * 1024;
// Where a VBRI header begins in the frame's body after the header.
constexpr size_t kVbriBodyOffset = kVbriOffset - 4;

struct HandleDeleter {
  void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Decoder = std::unique_ptr<mpg123_handle, HandleDeleter>;

Decoder NewDecoder(std::string& failure) {
  mpg123_init();  // a no-op since libmpg123 1.27, needed by older ones
  int error = MPG123_OK;
  Decoder decoder(mpg123_new(nullptr, &error));
  if (!decoder) {
    failure = mpg123_plain_strerror(error);
    return decoder;
  }
  mpg123_handle* mh = decoder.get();
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  bool ok = mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) == MPG123_OK &&
            mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK &&
            // Junk before the first frame is skipped, as the timeline reader skips it (by
            // default libmpg123 gives up after 1 KiB).
            mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0) == MPG123_OK &&
            mpg123_format_none(mh) == MPG123_OK;
  for (size_t i = 0; ok && i < rateCount; ++i) {
    ok = mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32) ==
         MPG123_OK;
  }
  if (!ok || mpg123_open_feed(mh) != MPG123_OK) {
    failure = mpg123_strerror(mh);
    decoder.reset();
  }
  return decoder;
}

// libmpg123 does not know the VBRI header and decodes its frame as a frame of silence:
// the raw output the timeline counts on begins after it.
bool DecodesAVbriFrame(mpg123_handle* mh, uint64_t& samplesPerFrame) {
  unsigned long header = 0;
  unsigned char* body = nullptr;
  size_t bodyBytes = 0;
  if (mpg123_framedata(mh, &header, &body, &bodyBytes) != MPG123_OK || !body ||
      bodyBytes < kVbriBodyOffset + 4) {
    return false;
  }
  samplesPerFrame = static_cast<uint64_t>(SamplesPerFrame(static_cast<uint32_t>(header)));
  return std::memcmp(body + kVbriBodyOffset, "VBRI", 4) == 0;
}

class Listener {
 public:
  Listener(mpg123_handle* mh, const SourceTimeline& timeline) : mh_(mh), timeline_(timeline) {}

  // Decodes every frame the input fed so far completes. False on a decoder error.
  bool Drain() {
    for (;;) {
      unsigned char* audio = nullptr;
      size_t bytes = 0;
      int result = mpg123_decode_frame(mh_, nullptr, &audio, &bytes);
      if (result == MPG123_NEW_FORMAT) {
        StartFormat();
      } else if (result == MPG123_OK) {
        if (meter_ && bytes > 0) {
          size_t frames = bytes / (sizeof(float) * static_cast<size_t>(channels_));
          meter_->Add(reinterpret_cast<const float*>(audio), frames, channels_);
        }
      } else {
        return result == MPG123_NEED_MORE || result == MPG123_DONE;
      }
    }
  }

  bool Full() const { return meter_ && meter_->Full(); }
  bool HeardAudio() const { return meter_.has_value(); }
  std::vector<float> TakeLevels() { return meter_->TakeLevels(); }

 private:
  void StartFormat() {
    long rate = 0;
    int encoding = 0;
    mpg123_getformat(mh_, &rate, &channels_, &encoding);
    if (meter_) return;  // a change of channels in the stream: the windows go on
    SourceTimeline decoded = timeline_;
    uint64_t samplesPerFrame = 0;
    if (DecodesAVbriFrame(mh_, samplesPerFrame)) decoded.rawStart += samplesPerFrame;
    meter_.emplace(decoded, rate);
  }

  mpg123_handle* mh_;
  SourceTimeline timeline_;
  std::optional<LevelMeter> meter_;
  int channels_ = 1;
};

LoudnessLevels Failure(LevelsOutcome outcome, std::string reason = {}) {
  LoudnessLevels result;
  result.outcome = outcome;
  result.failureReason = std::move(reason);
  return result;
}

}  // namespace

LoudnessLevels MeasureLoudness(File& source, const SourceTimeline& timeline, JobHost& host) {
  std::string failure;
  Decoder decoder = NewDecoder(failure);
  if (!decoder) return Failure(LevelsOutcome::kDecoderFailed, failure);
  std::optional<uint64_t> size = source.Size();
  if (!size || !source.Seek(0)) return Failure(LevelsOutcome::kReadFailed, ReadFailureText(source));

  Listener listener(decoder.get(), timeline);
  std::unique_ptr<unsigned char[]> chunk(new unsigned char[kChunkBytes]);
  uint64_t read = 0;
  int percent = 0;
  host.UnitStarted(percent);
  while (!listener.Full()) {
    if (host.HaltRequested()) return Failure(LevelsOutcome::kCancelled);
    size_t got = 0;
    if (!source.Read(chunk.get(), kChunkBytes, got)) {
      return Failure(LevelsOutcome::kReadFailed, ReadFailureText(source));
    }
    if (got == 0) break;
    if (mpg123_feed(decoder.get(), chunk.get(), got) != MPG123_OK || !listener.Drain()) {
      // Where the decoder gives up, the audio ends, as it does for a player.
      if (listener.HeardAudio()) break;
      return Failure(LevelsOutcome::kNoAudio, mpg123_strerror(decoder.get()));
    }
    read += got;
    int reached = *size > 0 ? static_cast<int>(std::min<uint64_t>(read, *size) * 100 / *size) : 100;
    if (reached != percent) host.UnitStarted(percent = reached);
  }
  if (!listener.HeardAudio()) return Failure(LevelsOutcome::kNoAudio);
  if (percent != 100) host.UnitStarted(100);
  LoudnessLevels result;
  result.outcome = LevelsOutcome::kCompleted;
  result.levels = listener.TakeLevels();
  return result;
}

}  // namespace partwell
