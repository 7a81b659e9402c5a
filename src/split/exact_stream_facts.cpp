#include "split/exact_stream_facts.h"

#include <algorithm>

#include "mpeg/frame_header.h"
#include "mpeg/frame_scanner.h"
#include "mpeg/stream_scan.h"
#include "split/frame_ring.h"

namespace partwell {
namespace {

// The first bytes searched for a free-format header when no frame is found.
constexpr uint64_t kFreeFormatSearchBytes = 64 * 1024;
// The LAME extension's peak and ReplayGain fields: they describe the whole source.
constexpr size_t kLamePeak = 11;
constexpr size_t kLameReplayGainEnd = 19;
constexpr size_t kLameMethod = 9;

const unsigned char* Bytes(BufferedSource& reader, uint64_t position, size_t length) {
  const unsigned char* data = nullptr;
  size_t available = 0;
  return reader.View(position, length, data, available) ? data : nullptr;
}

// Why a stream in which the scan finds no frame cannot be cut.
JobOutcome RefusalWithoutFrames(BufferedSource& reader, uint64_t start) {
  uint64_t end = std::min(reader.end(), start + kFreeFormatSearchBytes);
  for (uint64_t at = start; at + 4 <= end; ++at) {
    const unsigned char* data = Bytes(reader, at, 4);
    if (!data) return JobOutcome::kFileError;
    uint32_t word = ReadBigEndian32(data);
    if (IsFrameHeader(word) && HeaderIsLayer3(word) && HeaderBitRateIndex(word) == 0) {
      return JobOutcome::kFreeFormat;
    }
  }
  return JobOutcome::kNoAudio;
}

}  // namespace

std::optional<JobOutcome> ExactStreamFacts::Examine(BufferedSource& reader, uint64_t start) {
  audioStart = start;
  FrameScanner scanner(reader, start);
  MpegFrame frame;
  FrameScanner::Step step = scanner.Next(frame);
  if (step == FrameScanner::Step::kReadFailed) return JobOutcome::kFileError;
  if (step != FrameScanner::Step::kFrame) return RefusalWithoutFrames(reader, start);
  if (!HeaderIsLayer3(frame.header)) return JobOutcome::kNotLayer3;
  stream = frame.header;
  sampleRate = SampleRate(frame.header);
  const unsigned char* data = Bytes(reader, frame.position, frame.length);
  if (!data) return JobOutcome::kFileError;
  vbrHeader = ReadVbrHeader(data, frame.length);
  const int spf = Layer3SamplesPerFrame(frame.header);
  std::copy_n("LAME", 4, tag.lame.begin());
  if (vbrHeader) {
    headerIndex = HeaderBitRateIndex(frame.header);
    // A VBRI frame is played as a silent frame by some decoders and skipped by others: it
    // counts as the first audio frame, before a timeline that starts a frame later.
    headerFrame = vbrHeader->kind != VbrHeaderKind::kVbri;
    if (vbrHeader->frames) statedFrames = *vbrHeader->frames + (headerFrame ? 0 : 1);
    trustedTag = vbrHeader->lame && vbrHeader->lame->trusted;
    if (trustedTag) {
      std::copy_n(data + vbrHeader->lame->offset, kLameExtensionBytes, tag.lame.begin());
      std::fill(tag.lame.begin() + kLamePeak, tag.lame.begin() + kLameReplayGainEnd, 0);
      if (vbrHeader->qualityField) tag.quality = ReadBigEndian32(data + *vbrHeader->qualityField);
    }
  }
  cut.samplesPerFrame = spf;
  cut.mpeg1 = HeaderVersion(frame.header) == MpegVersion::kMpeg1;
  cut.delay = MakeSourceTimeline(vbrHeader, 0, spf).delay + (headerFrame || !vbrHeader ? 0 : spf);

  // Enough frames that the timeline holds a sample, or all there are.
  int64_t frames = headerFrame ? 0 : 1;
  auto wantsMore = [&] { return frames <= kExactLookAhead && TimelineLength(frames) <= 0; };
  if (wantsMore() && ForEachFrame(scanner, frame, [&](const MpegFrame&) {
                       ++frames;
                       return wantsMore();
                     }) == FrameScanner::Step::kReadFailed) {
    return JobOutcome::kFileError;
  }
  if (TimelineLength(frames) <= 0) return JobOutcome::kNoAudio;
  return std::nullopt;
}

InfoFrameFields ExactStreamFacts::Tag(bool constantBitRate) const {
  InfoFrameFields fields = tag;
  // Without a tag of the source's own, the method says whether the source is CBR.
  if (!trustedTag) fields.lame[kLameMethod] = constantBitRate ? 1 : 0;
  return fields;
}

int64_t ExactStreamFacts::TimelineLength(int64_t audioFrames) const {
  // A VBRI frame is no audio frame to the timeline.
  int64_t counted = audioFrames - (vbrHeader && !headerFrame ? 1 : 0);
  if (counted <= 0) return 0;
  return static_cast<int64_t>(
      MakeSourceTimeline(vbrHeader, static_cast<uint64_t>(counted), cut.samplesPerFrame).length);
}

}  // namespace partwell
