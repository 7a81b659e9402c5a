#include "mpeg/stream_scan.h"

#include <algorithm>

#include "io/buffered_source.h"
#include "mpeg/frame_header.h"
#include "mpeg/source_file.h"

namespace partwell {

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
  std::optional<SourceLayout> layout = ReadSourceLayout(file);
  if (!layout) return StreamScanOutcome::kReadFailed;
  scan.endOfAudio = layout->endOfAudio;
  BufferedSource source(file, scan.endOfAudio, kSourceBufferBytes);
  FrameScanner scanner(source, layout->audioStart());
  MpegFrame frame;
  bool first = true;
  bool readFailed = false;
  bool stopped = false;
  int bitRateIndex = -1;
  FrameScanner::Step step = ForEachFrame(scanner, frame, [&](const MpegFrame& next) {
    const unsigned char* data = nullptr;
    if (first || visitor) {
      size_t available = 0;
      data = source.Held(next.position, next.length);
      readFailed = !data && !source.View(next.position, next.length, data, available);
      if (readFailed) return false;
    }
    if (first) {
      first = false;
      scan.first = next;
      scan.vbrHeader = ReadVbrHeader(data, next.length);
      if (scan.vbrHeader) return true;
    }
    stopped = visitor && !visitor->Visit(next, data, scan);
    if (stopped) return false;
    ++scan.audioFrames;
    int index = HeaderBitRateIndex(next.header);
    if (bitRateIndex < 0) bitRateIndex = index;
    scan.constantBitRate = scan.constantBitRate && index == bitRateIndex;
    return true;
  });
  if (readFailed || step == FrameScanner::Step::kReadFailed) return StreamScanOutcome::kReadFailed;
  if (stopped) return StreamScanOutcome::kStopped;
  scan.truncatedLastFrame = step == FrameScanner::Step::kTruncated;
  if (first) return StreamScanOutcome::kNoFrames;
  scan.skippedBytes = scanner.skippedBytes();
  scan.timeline =
      MakeSourceTimeline(scan.vbrHeader, scan.audioFrames, SamplesPerFrame(scan.first.header));
  return StreamScanOutcome::kScanned;
}

}  // namespace partwell
