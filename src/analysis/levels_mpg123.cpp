// The libmpg123 backend of MeasureLoudness: the source is read in chunks and fed to the
// decoder, which decodes frame by frame to 32-bit floats, without gapless trimming, so
// that its output is the raw output the timeline is counted on.
#include <mpg123.h>

#include <cstring>
#include <memory>
#include <optional>

#include "analysis/level_stretch.h"
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
    ok = mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32) == MPG123_OK;
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
  Listener(mpg123_handle* mh, const SourceTimeline& timeline, const RawStretch& stretch,
           bool atStart)
      : mh_(mh), timeline_(timeline), stretch_(stretch), atStart_(atStart) {}

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
  LevelMeter& meter() { return *meter_; }

 private:
  void StartFormat() {
    long rate = 0;
    int encoding = 0;
    mpg123_getformat(mh_, &rate, &channels_, &encoding);
    if (meter_) return;  // a change of channels in the stream: the windows go on
    SourceTimeline decoded = timeline_;
    RawStretch stretch = stretch_;
    uint64_t samplesPerFrame = 0;
    if (atStart_ && DecodesAVbriFrame(mh_, samplesPerFrame)) {
      decoded.rawStart += samplesPerFrame;
      stretch.from += samplesPerFrame;
      if (stretch.to != RawStretch().to) stretch.to += samplesPerFrame;
    }
    meter_.emplace(decoded, rate, stretch);
  }

  mpg123_handle* mh_;
  SourceTimeline timeline_;
  RawStretch stretch_;
  bool atStart_;
  std::optional<LevelMeter> meter_;
  int channels_ = 1;
};

StretchLevels Failure(JobOutcome outcome, std::string reason = {}) {
  StretchLevels result;
  result.outcome = outcome;
  result.failureReason = std::move(reason);
  return result;
}

// The single pass's gate: the host's halt, and its progress in whole percents of the file.
class HostGate : public FeedGate {
 public:
  HostGate(JobHost& host, uint64_t size) : host_(host), progress_(host, size) {}
  bool HaltRequested() override { return host_.HaltRequested(); }
  void Read(uint64_t bytes) override { progress_.Read(bytes); }
  void Finish() { progress_.Finish(); }

 private:
  JobHost& host_;
  ReadProgress progress_;
};

}  // namespace

StretchLevels MeasureStretch(File& source, uint64_t feedFrom, const SourceTimeline& timeline,
                             const RawStretch& stretch, FeedGate& gate) {
  std::string failure;
  Decoder decoder = NewDecoder(failure);
  if (!decoder) return Failure(JobOutcome::kDecoderFailed, failure);
  if (!source.Seek(feedFrom)) return Failure(JobOutcome::kFileError, ReadFailureText(source));

  Listener listener(decoder.get(), timeline, stretch, feedFrom == 0);
  std::unique_ptr<unsigned char[]> chunk(new unsigned char[kChunkBytes]);
  while (!listener.Full()) {
    if (gate.HaltRequested()) return Failure(JobOutcome::kCancelled);
    size_t got = 0;
    if (!source.Read(chunk.get(), kChunkBytes, got)) {
      return Failure(JobOutcome::kFileError, ReadFailureText(source));
    }
    if (got == 0) break;
    if (mpg123_feed(decoder.get(), chunk.get(), got) != MPG123_OK || !listener.Drain()) {
      // Where the decoder gives up, the audio ends, as it does for a player.
      if (listener.HeardAudio()) break;
      return Failure(JobOutcome::kNoAudio, mpg123_strerror(decoder.get()));
    }
    gate.Read(got);
  }
  if (!listener.HeardAudio()) return Failure(JobOutcome::kNoAudio);
  StretchLevels result;
  result.outcome = JobOutcome::kCompleted;
  result.outputEnded = !listener.Full();
  result.levels = listener.meter().TakeLevels();
  result.head = listener.meter().head();
  result.tail = listener.meter().tail();
  return result;
}

LoudnessLevels MeasureLoudness(File& source, const SourceTimeline& timeline, JobHost& host) {
  LoudnessLevels result;
  std::optional<uint64_t> size = source.Size();
  if (!size) {
    result.outcome = JobOutcome::kFileError;
    result.failureReason = ReadFailureText(source);
    return result;
  }
  HostGate gate(host, *size);
  StretchLevels stretch = MeasureStretch(source, 0, timeline, RawStretch(), gate);
  if (stretch.outcome == JobOutcome::kCompleted) gate.Finish();
  result.outcome = stretch.outcome;
  result.failureReason = std::move(stretch.failureReason);
  result.levels = std::move(stretch.levels);
  return result;
}

}  // namespace partwell
