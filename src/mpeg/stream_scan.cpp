#include "mpeg/stream_scan.h"

#include <algorithm>

#include "io/buffered_source.h"
#include "mpeg/frame_header.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/source_probe.h"

namespace partwell {
namespace {

constexpr size_t kScanBufferBytes = 1 << 20;

}  // namespace

SourceTimeline MakeSourceTimeline(const std::optional<VbrHeader>& header, uint64_t audioFrames,
                                  int samplesPerFrame) {
  SourceTimeline timeline;
  uint64_t missingFrames = 0;  // stated by the tag but not in the stream: it was cut short
  if (header && header->lame && header->lame->trusted) {
    timeline.delay = header->lame->delay;
    timeline.padding = header->lame->padding;
    if (header->frames && *header->frames > audioFrames) {
      missingFrames = *header->frames - audioFrames;
    }
  }
  timeline.rawStart = static_cast<uint64_t>(timeline.delay) + kDecoderDelay;
  // A padding shorter than the decoder delay would end the timeline after the raw output.
  uint64_t padding = static_cast<uint64_t>(std::max(timeline.padding, kDecoderDelay));
  // The padding lies in the stated last frames: decoders play the audio of a stream cut
  // short up to the padding's part that is still there.
  const uint64_t missingSamples = missingFrames * static_cast<uint64_t>(samplesPerFrame);
  padding -= std::min(padding - kDecoderDelay, missingSamples);
  uint64_t cut = timeline.rawStart - kDecoderDelay + padding;
  uint64_t raw = audioFrames * static_cast<uint64_t>(samplesPerFrame);
  timeline.length = raw > cut ? raw - cut : 0;
  return timeline;
}

StreamScanOutcome ScanStream(File& file, StreamScan& scan, FrameVisitor* visitor) {
  scan = StreamScan();
  std::optional<uint64_t> start = SkipLeadingId3v2Tags(file);
  std::optional<AudioExtent> extent = FindAudioExtent(file);
  if (!start || !extent) return StreamScanOutcome::kReadFailed;
  scan.endOfAudio = extent->endOfAudio;
  BufferedSource source(file, scan.endOfAudio, kScanBufferBytes);
  FrameScanner scanner(source, std::min(*start, scan.endOfAudio));
  MpegFrame frame;
  bool first = true;
  int bitRateIndex = -1;
  for (;;) {
    FrameScanner::Step step = scanner.Next(frame);
    if (step == FrameScanner::Step::kReadFailed) return StreamScanOutcome::kReadFailed;
    if (step == FrameScanner::Step::kEnd) break;
    if (step == FrameScanner::Step::kTruncated) {
      scan.truncatedLastFrame = true;
      break;
    }
    const unsigned char* data = nullptr;
    if (first || visitor) {
      size_t available = 0;
      data = source.Held(frame.position, frame.length);
      if (!data && !source.View(frame.position, frame.length, data, available)) {
        return StreamScanOutcome::kReadFailed;
      }
    }
    if (first) {
      first = false;
      scan.first = frame;
      scan.vbrHeader = ReadVbrHeader(data, frame.length);
      if (scan.vbrHeader) continue;
    }
    if (visitor && !visitor->Visit(frame, data, scan)) return StreamScanOutcome::kStopped;
    ++scan.audioFrames;
    int index = HeaderBitRateIndex(frame.header);
    if (bitRateIndex < 0) bitRateIndex = index;
    scan.constantBitRate = scan.constantBitRate && index == bitRateIndex;
  }
  if (first) return StreamScanOutcome::kNoFrames;
  scan.skippedBytes = scanner.skippedBytes();
  scan.timeline = MakeSourceTimeline(scan.vbrHeader, scan.audioFrames,
                                     SamplesPerFrame(scan.first.header));
  return StreamScanOutcome::kScanned;
}

}  // namespace partwell
