// The libmpg123 and libmp3lame backends of seam_codec.h.
#include "split/seam_codec.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <algorithm>

namespace partwell {
namespace {

struct DecoderDeleter {
  void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};

}  // namespace

bool DecodeSeamFrames(const std::vector<unsigned char>& bytes, size_t frames, int samplesPerFrame,
                      int channels, std::vector<float>& pcm, std::string& failure) {
  const size_t frameValues = static_cast<size_t>(samplesPerFrame) * static_cast<size_t>(channels);
  pcm.assign(frames * frameValues, 0.0f);
  mpg123_init();  // a no-op since libmpg123 1.27, needed by older ones
  int error = MPG123_OK;
  std::unique_ptr<mpg123_handle, DecoderDeleter> decoder(mpg123_new(nullptr, &error));
  mpg123_handle* mh = decoder.get();
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  bool ok = mh && mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0) == MPG123_OK &&
            mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK &&
            mpg123_format_none(mh) == MPG123_OK;
  for (size_t i = 0; ok && i < rateCount; ++i) {
    ok = mpg123_format(mh, rates[i], channels == 1 ? MPG123_MONO : MPG123_STEREO,
                       MPG123_ENC_FLOAT_32) == MPG123_OK;
  }
  if (!ok || mpg123_open_feed(mh) != MPG123_OK ||
      mpg123_feed(mh, bytes.data(), bytes.size()) != MPG123_OK) {
    failure = mh ? mpg123_strerror(mh) : mpg123_plain_strerror(error);
    return false;
  }
  for (;;) {
    off_t number = 0;
    unsigned char* audio = nullptr;
    size_t audioBytes = 0;
    const int result = mpg123_decode_frame(mh, &number, &audio, &audioBytes);
    if (result == MPG123_NEW_FORMAT) continue;
    if (result != MPG123_OK) break;
    if (number < 0 || static_cast<size_t>(number) >= frames) continue;
    const size_t values = std::min(audioBytes / sizeof(float), frameValues);
    const float* decoded = reinterpret_cast<const float*>(audio);
    std::copy(decoded, decoded + values,
              pcm.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(number) * frameValues));
  }
  return true;
}

struct SeamEncoder::State {
  ~State() {
    if (flags) lame_close(flags);
  }
  lame_global_flags* flags = nullptr;
  int channels = 2;
};

SeamEncoder::SeamEncoder(std::unique_ptr<State> state) : state_(std::move(state)) {
  delay_ = lame_get_encoder_delay(state_->flags);
}

SeamEncoder::~SeamEncoder() = default;

namespace {

// An encoder for `format` whose input is scaled by `scale`; null when libmp3lame refuses.
lame_global_flags* NewEncoder(const SeamFormat& format, float scale) {
  lame_global_flags* gf = lame_init();
  static constexpr MPEG_mode kModes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
  if (gf && lame_set_in_samplerate(gf, format.sampleRate) == 0 &&
      lame_set_out_samplerate(gf, format.sampleRate) == 0 &&
      lame_set_num_channels(gf, format.channels) == 0 &&
      lame_set_mode(gf, kModes[format.mode & 3]) == 0 && lame_set_VBR(gf, vbr_off) == 0 &&
      lame_set_brate(gf, format.kbps) == 0 && lame_set_error_protection(gf, format.crc) == 0 &&
      lame_set_bWriteVbrTag(gf, 0) == 0 && lame_set_scale(gf, scale) == 0 &&
      lame_init_params(gf) == 0) {
    return gf;
  }
  if (gf) lame_close(gf);
  return nullptr;
}

}  // namespace

std::unique_ptr<SeamEncoder> SeamEncoder::Open(const SeamFormat& format, std::string& failure) {
  auto state = std::make_unique<State>();
  state->channels = format.channels;
  state->flags = NewEncoder(format, 1.0f);
  // libmp3lame's settings for a constant bit rate scale the input down (against clipping
  // at low rates); the splice keeps the source's level.
  const float scale = state->flags ? lame_get_scale(state->flags) : 1.0f;
  if (state->flags && scale > 0 && scale != 1.0f) {
    lame_close(state->flags);
    state->flags = NewEncoder(format, 1.0f / scale);
  }
  if (!state->flags) {
    failure = "the MP3 encoder refused " + std::to_string(format.sampleRate) + " Hz at " +
              std::to_string(format.kbps) + " kbit/s";
    return nullptr;
  }
  return std::unique_ptr<SeamEncoder>(new SeamEncoder(std::move(state)));
}

bool SeamEncoder::Encode(const std::vector<float>& pcm, size_t samples,
                         std::vector<unsigned char>& stream, std::string& failure) {
  // The size libmp3lame asks of its output buffer: 1.25 x the samples, and 7200 bytes.
  stream.assign(samples * 5 / 4 + 7200 * 2, 0);
  lame_global_flags* gf = state_->flags;
  const int count = static_cast<int>(samples);
  const int size = static_cast<int>(stream.size());
  const int encoded =
      state_->channels == 1
          ? lame_encode_buffer_ieee_float(gf, pcm.data(), pcm.data(), count, stream.data(), size)
          : lame_encode_buffer_interleaved_ieee_float(gf, pcm.data(), count, stream.data(), size);
  const int flushed =
      encoded < 0 ? -1 : lame_encode_flush(gf, stream.data() + encoded, size - encoded);
  if (flushed < 0) {
    failure = "the MP3 encoder failed";
    return false;
  }
  stream.resize(static_cast<size_t>(encoded + flushed));
  return true;
}

}  // namespace partwell
