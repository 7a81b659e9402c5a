#include "analysis/source_timeline.h"

#include <algorithm>
#include <cstring>

#include "io/buffered_source.h"
#include "mpeg/frame_header.h"
#include "mpeg/source_probe.h"

namespace partwell {
namespace {

// The decoder delay every decoder of Layer III has: 528 samples of the synthesis filter
// bank, and one more.
constexpr uint64_t kDecoderDelay = 529;
constexpr size_t kBufferBytes = 256 * 1024;
// How far after the ID3v2 tags the first frame header is looked for.
constexpr uint64_t kSyncSearchBytes = 64 * 1024;
// The start of a VBRI header in its frame, whatever the version and channel mode.
constexpr size_t kVbriOffset = 36;
// Within a LAME extension: the encoder string, then delay and padding (12 bits each).
constexpr size_t kLameDelayOffset = 21;
constexpr size_t kLameBytesNeeded = 24;

size_t SideInfoBytes(uint32_t header) {
  bool mono = HeaderIsMono(header);
  if (HeaderVersion(header) == MpegVersion::kMpeg1) return mono ? 17 : 32;
  return mono ? 9 : 17;
}

int FrameLengthOf(uint32_t word) {
  return IsFrameHeader(word) && HeaderIsLayer3(word) ? Layer3FrameLength(word) : 0;
}

// A frame of the same stream: a Layer III header with the first frame's version and
// sampling rate.
bool SameStream(uint32_t word, uint32_t first) {
  return FrameLengthOf(word) > 0 && HeaderVersionBits(word) == HeaderVersionBits(first) &&
         HeaderSampleRateIndex(word) == HeaderSampleRateIndex(first);
}

std::optional<uint32_t> WordAt(BufferedSource& source, uint64_t position) {
  const unsigned char* data = nullptr;
  size_t available = 0;
  if (position + 4 > source.end() || !source.View(position, 4, data, available)) {
    return std::nullopt;
  }
  return ReadBigEndian32(data);
}

// The first Layer III frame header whose frame is followed by another of the same stream
// (or by the end of the file).
std::optional<uint64_t> FindFirstFrame(BufferedSource& source, uint64_t from) {
  for (uint64_t position = from; position < from + kSyncSearchBytes; ++position) {
    std::optional<uint32_t> word = WordAt(source, position);
    if (!word) return std::nullopt;
    int length = FrameLengthOf(*word);
    if (length == 0) continue;
    uint64_t next = position + static_cast<uint64_t>(length);
    std::optional<uint32_t> following = WordAt(source, next);
    if (next + 4 > source.end() || (following && SameStream(*following, *word))) return position;
  }
  return std::nullopt;
}

struct HeaderFrame {
  bool present = false;  // an Info, Xing or VBRI frame, which holds no audio
  bool lameTimes = false;
  uint64_t delay = 0;
  uint64_t padding = 0;
};

bool StartsWith(const unsigned char* data, const char* text) {
  return std::memcmp(data, text, std::strlen(text)) == 0;
}

HeaderFrame ReadHeaderFrame(const unsigned char* frame, size_t length, uint32_t word) {
  HeaderFrame result;
  size_t at = 4 + SideInfoBytes(word);
  if (length >= kVbriOffset + 4 && StartsWith(frame + kVbriOffset, "VBRI")) {
    result.present = true;
    return result;
  }
  if (length < at + 8 || !(StartsWith(frame + at, "Xing") || StartsWith(frame + at, "Info"))) {
    return result;
  }
  result.present = true;
  uint32_t flags = ReadBigEndian32(frame + at + 4);
  size_t lame = at + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) +
                ((flags & 8) ? 4 : 0);
  if (lame + kLameBytesNeeded > length) return result;
  const unsigned char* tag = frame + lame;
  if (StartsWith(tag, "LAME") || StartsWith(tag, "Lavf") || StartsWith(tag, "Lavc")) {
    const unsigned char* times = tag + kLameDelayOffset;
    result.lameTimes = true;
    result.delay = (uint64_t{times[0]} << 4) | (times[1] >> 4);
    result.padding = (uint64_t{times[1] & 15u} << 8) | times[2];
  }
  return result;
}

// Frames from `position` to the end, resynchronising past anything that is not a frame
// of the stream, as a decoder does.
uint64_t CountFrames(BufferedSource& source, uint64_t position, uint32_t first) {
  uint64_t frames = 0;
  while (std::optional<uint32_t> word = WordAt(source, position)) {
    if (SameStream(*word, first)) {
      ++frames;
      position += static_cast<uint64_t>(FrameLengthOf(*word));
    } else {
      ++position;
    }
  }
  return frames;
}

uint64_t LessOrZero(uint64_t value, uint64_t less) { return value > less ? value - less : 0; }

}  // namespace

std::optional<SourceTimeline> ReadSourceTimeline(File& file) {
  uint64_t start = SkipLeadingId3v2Tags(file);
  std::optional<uint64_t> size = file.Size();
  if (!size) return std::nullopt;
  BufferedSource source(file, *size, kBufferBytes);
  std::optional<uint64_t> first = FindFirstFrame(source, start);
  if (!first) return std::nullopt;
  uint32_t word = *WordAt(source, *first);
  size_t frameLength = static_cast<size_t>(FrameLengthOf(word));
  const unsigned char* frame = nullptr;
  size_t available = 0;
  if (!source.View(*first, frameLength, frame, available)) return std::nullopt;
  HeaderFrame header = ReadHeaderFrame(frame, std::min(available, frameLength), word);

  uint64_t audioStart = *first + (header.present ? frameLength : 0);
  uint64_t rawLength = CountFrames(source, audioStart, word) *
                       static_cast<uint64_t>(Layer3SamplesPerFrame(word));
  SourceTimeline timeline;
  if (header.lameTimes) {
    timeline.rawStart = header.delay + kDecoderDelay;
    timeline.length =
        LessOrZero(rawLength, header.delay + std::max(header.padding, kDecoderDelay));
  } else {
    timeline.rawStart = kDecoderDelay;
    timeline.length = LessOrZero(rawLength, kDecoderDelay);
  }
  return timeline;
}

}  // namespace partwell
