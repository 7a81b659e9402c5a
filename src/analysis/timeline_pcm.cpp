// libmpg123 decodes frame by frame without gapless trimming, so that its output is the raw
// output the timeline is counted on, as for the loudness levels.
#include "analysis/timeline_pcm.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "analysis/decoded_levels.h"
#include "mpeg/frame_header.h"
#include "mpeg/stream_scan.h"

namespace partwell {
namespace {

constexpr size_t kChunkBytes = 16 * 1024;
// Every so many audio frames the scan keeps one where the decoder may start instead of at
// the file's start: a stretch late in a long file is decoded from the last kept frame at
// least kStretchWarmUpFrames before it, not from the beginning.
constexpr uint64_t kStartEvery = 256;
// Where a VBRI header begins in its frame's body: libmpg123 decodes that frame as silence.
constexpr size_t kVbriBodyOffset = 36 - 4;

// The frames the decoder may start at: audio frame index and byte position.
class DecoderStarts : public FrameVisitor {
 public:
  bool Visit(const MpegFrame& frame, const unsigned char*, const StreamScan& scan) override {
    if (scan.audioFrames % kStartEvery == 0 && WarmsUpExactly(frame.header)) {
      starts_.push_back({scan.audioFrames, frame.position});
    }
    return true;
  }
  // The last start at least kStretchWarmUpFrames frames before audio frame `frame`;
  // frame 0 at byte 0 (the file's start) when there is none.
  std::pair<uint64_t, uint64_t> Before(uint64_t frame) const {
    std::pair<uint64_t, uint64_t> chosen{0, 0};
    for (const auto& start : starts_) {
      if (start.first == 0 || start.first + kStretchWarmUpFrames > frame) continue;
      chosen = start;
    }
    return chosen;
  }

 private:
  std::vector<std::pair<uint64_t, uint64_t>> starts_;
};

}  // namespace

struct TimelinePcm::Decoder {
  ~Decoder() { mpg123_delete(handle); }
  mpg123_handle* handle = nullptr;
  std::vector<unsigned char> chunk = std::vector<unsigned char>(kChunkBytes);
  bool formatSeen = false;
  bool ended = false;
};

template <typename PickStretch>
std::unique_ptr<TimelinePcm> TimelinePcm::OpenStretch(const std::string& path, PickStretch stretch,
                                                      std::string& failure) {
  std::unique_ptr<TimelinePcm> pcm(new TimelinePcm);
  pcm->file_ = File::OpenForReading(path);
  if (!pcm->file_.IsOpen()) {
    failure = SystemErrorText(pcm->file_.LastError());
    return nullptr;
  }
  StreamScan scan;
  DecoderStarts starts;
  StreamScanOutcome scanned = ScanStream(pcm->file_, scan, &starts);
  if (scanned != StreamScanOutcome::kScanned) {
    failure = scanned == StreamScanOutcome::kReadFailed ? ReadFailureText(pcm->file_)
                                                        : "The file holds no MPEG audio.";
    return nullptr;
  }
  pcm->rate_ = SampleRate(scan.first.header);
  pcm->channels_ = ChannelCount(scan.first.header);
  auto [from, to] = stretch(scan.timeline.length);
  to = std::min(to, scan.timeline.length);
  pcm->begin_ = scan.timeline.rawStart + std::min(from, to);
  pcm->end_ = scan.timeline.rawStart + to;
  const uint64_t samplesPerFrame = static_cast<uint64_t>(SamplesPerFrame(scan.first.header));
  const auto [startFrame, startByte] = starts.Before(pcm->begin_ / samplesPerFrame);
  pcm->position_ = startFrame * samplesPerFrame;

  mpg123_init();  // a no-op since libmpg123 1.27, needed by older ones
  int error = MPG123_OK;
  pcm->decoder_ = std::make_unique<Decoder>();
  mpg123_handle* mh = pcm->decoder_->handle = mpg123_new(nullptr, &error);
  bool ok = mh && mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) == MPG123_OK &&
            mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK &&
            mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0) == MPG123_OK &&
            mpg123_format_none(mh) == MPG123_OK &&
            mpg123_format(mh, pcm->rate_, pcm->channels_ == 1 ? MPG123_MONO : MPG123_STEREO,
                          MPG123_ENC_SIGNED_16) == MPG123_OK &&
            mpg123_open_feed(mh) == MPG123_OK && pcm->file_.Seek(startByte);
  if (!ok) {
    failure = mh ? mpg123_strerror(mh) : mpg123_plain_strerror(error);
    return nullptr;
  }
  return pcm;
}

std::unique_ptr<TimelinePcm> TimelinePcm::Open(const std::string& path, uint64_t from, uint64_t to,
                                               std::string& failure) {
  return OpenStretch(
      path, [&](uint64_t) { return std::pair(from, to); }, failure);
}

std::unique_ptr<TimelinePcm> TimelinePcm::OpenLast(const std::string& path, uint64_t samples,
                                                   std::string& failure) {
  auto last = [samples](uint64_t length) {
    return std::pair(length - std::min(length, samples), length);
  };
  return OpenStretch(path, last, failure);
}

TimelinePcm::~TimelinePcm() = default;

// Decodes the next frame that the input holds, feeding more as needed; false at the end.
bool TimelinePcm::Refill() {
  Decoder& decoder = *decoder_;
  while (!decoder.ended) {
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    int result = mpg123_decode_frame(decoder.handle, nullptr, &audio, &bytes);
    if (result == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(decoder.handle, &rate, &channels, &encoding);
      // A change of format inside the stream ends what is played.
      if (decoder.formatSeen || rate != rate_ || channels != channels_) return false;
      decoder.formatSeen = true;
      unsigned long header = 0;
      unsigned char* body = nullptr;
      size_t bodyBytes = 0;
      if (mpg123_framedata(decoder.handle, &header, &body, &bodyBytes) == MPG123_OK && body &&
          bodyBytes >= kVbriBodyOffset + 4 && std::memcmp(body + kVbriBodyOffset, "VBRI", 4) == 0) {
        int frame = SamplesPerFrame(static_cast<uint32_t>(header));
        begin_ += frame;
        end_ += frame;
      }
    } else if (result == MPG123_OK) {
      if (bytes == 0) continue;
      pending_ = reinterpret_cast<const int16_t*>(audio);
      pendingFrames_ = bytes / (sizeof(int16_t) * static_cast<size_t>(channels_));
      return true;
    } else if (result == MPG123_NEED_MORE) {
      size_t got = 0;
      if (!file_.Read(decoder.chunk.data(), decoder.chunk.size(), got) || got == 0 ||
          mpg123_feed(decoder.handle, decoder.chunk.data(), got) != MPG123_OK) {
        decoder.ended = true;
      }
    } else {
      decoder.ended = true;
    }
  }
  return false;
}

size_t TimelinePcm::Read(int16_t* out, size_t frames) {
  size_t given = 0;
  while (given < frames && position_ < end_) {
    if (pendingFrames_ == 0 && !Refill()) break;
    // The decoded frames before the stretch are dropped, those after it are never given.
    if (position_ < begin_) {
      size_t dropped = static_cast<size_t>(std::min<uint64_t>(pendingFrames_, begin_ - position_));
      pending_ += dropped * channels_;
      pendingFrames_ -= dropped;
      position_ += dropped;
      continue;
    }
    size_t take = std::min({pendingFrames_, frames - given, static_cast<size_t>(end_ - position_)});
    std::memcpy(out + given * channels_, pending_, take * channels_ * sizeof(int16_t));
    pending_ += take * channels_;
    pendingFrames_ -= take;
    position_ += take;
    given += take;
  }
  return given;
}

}  // namespace partwell
