// Smooth seams: see smooth_seam.h.
#include "split/smooth_seam.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <string>

#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "mpeg/side_info.h"
#include "split/main_data_copy.h"
#include "split/seam_codec.h"
#include "split/seam_repair.h"

namespace partwell {
namespace {

// Samples of unspliced sound that each end of a re-encoded span holds at least: the
// transform of the frame on either side reaches a granule (576) into the span, and the
// filter bank further; with less, the decoder's overlap there does not cancel.
constexpr int64_t kMargin = 864;
// Sound before the first frame kept of the encoder's output (which decides how many of its
// first frames are left out): the transform's overlap and the analysis filter, and frames
// enough for the encoder's bit reservoir to fill as it does in a stream, so that the frames
// kept leave the room at their end that the source's next frame borrows.
constexpr int64_t kLeadIn = 8 * 1152;
// Frames of sound after a span that the encoder sees, for its look-ahead.
constexpr int64_t kTrailFrames = 2;
// Main data bytes that the frames fed to the decoder before a stretch hold: the largest
// reservoir; two more frames settle the overlap and the synthesis filter.
constexpr int64_t kDecoderWarmUpArea = 512;
constexpr int64_t kDecoderWarmUpFrames = 2;
// Times a span is encoded again, a frame wider, to meet the source in matching windows.
constexpr int kWideningAttempts = 6;

constexpr double kPi = 3.14159265358979323846;

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((b - 1 - a) / b); }
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// One splice: the source's raw sample where its crossfade is centred (sound before it), and
// the whole frames it removes.
struct Splice {
  int64_t raw = 0;
  int64_t frames = 0;
};

// Source frames [first, end) replaced by re-encoded ones holding `splices`; or, for a
// frame seam, the plan's seams [seam, seamEnd) kept as they are.
struct Span {
  int64_t first = 0;
  int64_t end = 0;
  std::vector<Splice> splices;
  size_t seam = 0;
  size_t seamEnd = 0;
  bool smooth = true;
  int64_t lowest = 0;   // how far it may grow: its first frame at least this one ...
  int64_t highest = 0;  // ... its end at most this one
  int64_t removed() const {
    int64_t frames = 0;
    for (const Splice& splice : splices) frames += splice.frames;
    return frames;
  }
};

class SeamMaker {
 public:
  SeamMaker(WholeSource& source, int crossfadeMs, const std::vector<int64_t>& streamStarts,
            JobReport& report)
      : source_(source),
        frames_(source.frames()),
        cut_(source.stream().facts().cut),
        spf_(cut_.samplesPerFrame),
        crossfade_(static_cast<int64_t>(crossfadeMs) * source.stream().facts().sampleRate / 1000),
        streamStarts_(streamStarts),
        report_(report) {}

  bool Place(const CutPlan& plan, std::vector<Span>& spans);
  bool Encode(Span& span, MadeSpan& made);

 private:
  const MpegFrame& Frame(int64_t index) const { return frames_[static_cast<size_t>(index)].frame; }
  int64_t frameCount() const { return static_cast<int64_t>(frames_.size()); }
  double Weight(int64_t fromCentre) const;
  bool DecodeSource(int64_t from, int64_t to, std::vector<float>& pcm);
  bool DecodeStream(int64_t from, int64_t to, std::vector<float>& pcm);
  bool Failed(std::string reason);
  SeamFormat FormatOf(const Span& span) const;
  bool SourceWindows(int64_t index, bool atEnd, int& windows, int* borrows = nullptr);
  bool Widen(Span& span);
  bool SourceTail(int64_t end, std::vector<std::vector<unsigned char>>& tail);
  bool EncodeOnce(const Span& span, MadeSpan& made);

  WholeSource& source_;
  const std::vector<FrameRecord>& frames_;
  const CutSource& cut_;
  int64_t spf_;
  int64_t crossfade_;
  const std::vector<int64_t>& streamStarts_;
  JobReport& report_;
};

bool SeamMaker::Place(const CutPlan& plan, std::vector<Span>& spans) {
  const int64_t offset = cut_.delay + kDecoderDelay;
  const TrackLayout layout = LayOutTrack(cut_, plan.keptStart);
  const int64_t last = std::min(LastFrameBefore(cut_, plan.keptEnd), frameCount() - 1);
  for (size_t i = 0; i < plan.seams.size(); ++i) {
    const SampleRange asked = plan.seams[i].asked;
    const int64_t length = asked.end - asked.start;
    Splice splice;
    splice.frames = std::max<int64_t>(1, (length + spf_ / 2) / spf_);
    splice.raw = asked.start + FloorDiv(length - splice.frames * spf_, 2) + offset;
    const int64_t fadeStart = splice.raw - crossfade_ / 2;
    Span span;
    span.first = FloorDiv(fadeStart - kMargin, spf_);
    span.end = CeilDiv(fadeStart + crossfade_ + kMargin, spf_) + splice.frames;
    span.splices = {splice};
    span.seam = i;
    span.seamEnd = i + 1;
    span.lowest = layout.cutFrame + 1;
    span.highest = last;
    if (!Widen(span)) return false;
    if (!spans.empty() && span.first <= spans.back().end) {
      Span& previous = spans.back();
      previous.end = std::max(previous.end, span.end);
      previous.splices.push_back(splice);
      previous.seamEnd = span.seamEnd;
    } else {
      spans.push_back(span);
    }
  }
  const auto plain = [&plan](Span& span) {
    span.smooth = false;
    span.first = plan.seams[span.seam].first;
    span.end = plan.seams[span.seamEnd - 1].end;
  };
  // A span must leave a frame before it after the track's start, and one after it.
  for (Span& span : spans) {
    if (span.first <= layout.cutFrame || span.end > last) plain(span);
  }
  // A smooth span that meets a frame seam's frames stays a frame seam as well.
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t i = 0; i + 1 < spans.size(); ++i) {
      Span& a = spans[i];
      Span& b = spans[i + 1];
      if (a.smooth == b.smooth || a.end < b.first) continue;
      plain(a.smooth ? a : b);
      changed = true;
    }
  }
  // A smooth span may grow up to a frame short of its neighbours.
  for (size_t i = 0; i < spans.size(); ++i) {
    if (i > 0) spans[i].lowest = std::max(spans[i].lowest, spans[i - 1].end + 1);
    if (i + 1 < spans.size()) spans[i].highest = std::min(spans[i].highest, spans[i + 1].first - 1);
  }
  return true;
}

// The windows of the frame whose first bytes are `frame` where it begins (or ends,
// `atEnd`): a bit for each channel whose window is long there (side_info.h).
int Windows(const unsigned char* frame, bool atEnd) {
  const uint32_t header = ReadBigEndian32(frame);
  const int granule = atEnd && HeaderVersion(header) == MpegVersion::kMpeg1 ? 1 : 0;
  int windows = 0;
  for (int channel = 0; channel < ChannelCount(header); ++channel) {
    const int type = Layer3BlockType(frame, granule, channel);
    if (type == 0 || type == (atEnd ? 3 : 1)) windows |= 1 << channel;
  }
  return windows;
}

// Windows() of source frame `index`, and what it borrows into `borrows` when given.
bool SeamMaker::SourceWindows(int64_t index, bool atEnd, int& windows, int* borrows) {
  const MpegFrame& frame = Frame(index);
  const unsigned char* data = source_.stream().Bytes(
      frame.position, static_cast<size_t>(Layer3MainDataOffset(frame.header)));
  if (!data) return source_.ReadError(report_);
  windows = Windows(data, atEnd);
  if (borrows) *borrows = MainDataBegin(data);
  return true;
}

// Grows `span` within its bounds until the source's frames on either side meet it in long
// windows, which the encoder is likely to begin and end with.
bool SeamMaker::Widen(Span& span) {
  const int allLong = (1 << ChannelCount(source_.stream().facts().stream)) - 1;
  for (int windows = 0; span.first > span.lowest; --span.first) {
    if (!SourceWindows(span.first - 1, true, windows)) return false;
    if (windows == allLong) break;
  }
  for (int windows = 0; span.end < span.highest; ++span.end) {
    if (!SourceWindows(span.end, false, windows)) return false;
    if (windows == allLong) break;
  }
  return true;
}

double SeamMaker::Weight(int64_t fromCentre) const {
  const int64_t into = fromCentre + crossfade_ / 2;
  if (into < 0) return 0;
  if (into >= crossfade_) return 1;
  return 0.5 -
         0.5 * std::cos(kPi * (static_cast<double>(into) + 0.5) / static_cast<double>(crossfade_));
}

bool SeamMaker::Failed(std::string reason) {
  report_.outcome = JobOutcome::kDecoderFailed;
  report_.failureReason = std::move(reason);
  return false;
}

// The source's raw samples [from, to) as decoded from the file, each stream's (from a
// stream start on) as that stream alone decodes.
bool SeamMaker::DecodeSource(int64_t from, int64_t to, std::vector<float>& pcm) {
  const auto start =
      std::upper_bound(streamStarts_.begin(), streamStarts_.end(), FloorDiv(from, spf_));
  if (start == streamStarts_.end() || *start * spf_ >= to) return DecodeStream(from, to, pcm);
  std::vector<float> later;
  if (!DecodeStream(from, *start * spf_, pcm) || !DecodeSource(*start * spf_, to, later)) {
    return false;
  }
  pcm.insert(pcm.end(), later.begin(), later.end());
  return true;
}

// The source's raw samples [from, to), within one stream, as decoded from the file: the
// frames that hold them, after the frames the decoder needs to decode the first of them as
// it did in the file. Samples outside the stream are silent.
bool SeamMaker::DecodeStream(int64_t from, int64_t to, std::vector<float>& pcm) {
  const size_t channels = static_cast<size_t>(ChannelCount(source_.stream().facts().stream));
  pcm.assign(static_cast<size_t>(to - from) * channels, 0.0f);
  const int64_t first = std::max<int64_t>(0, FloorDiv(from, spf_));
  const int64_t end = std::min(frameCount(), CeilDiv(to, spf_));
  if (first >= end) return true;
  int64_t fed = first;
  for (int64_t area = 0; fed > 0 && area < kDecoderWarmUpArea;) {
    area += Layer3MainDataBytes(Frame(--fed).header);
  }
  fed = std::max<int64_t>(0, fed - kDecoderWarmUpFrames);
  // The decoder starts afresh where the stream that holds frame `first` begins.
  const auto start = std::upper_bound(streamStarts_.begin(), streamStarts_.end(), first);
  if (start != streamStarts_.begin()) fed = std::max(fed, *std::prev(start));
  // One frame more: the decoder reads the next frame's header before it decodes a frame.
  const int64_t feedEnd = std::min(frameCount(), end + 1);
  std::vector<unsigned char> bytes;
  for (int64_t index = fed; index < feedEnd; ++index) {
    const MpegFrame& frame = Frame(index);
    const unsigned char* data = source_.stream().Bytes(frame.position, frame.length);
    if (!data) return source_.ReadError(report_);
    bytes.insert(bytes.end(), data, data + frame.length);
  }
  std::vector<float> decoded;
  std::string failure;
  if (!DecodeSeamFrames(bytes, static_cast<size_t>(feedEnd - fed), static_cast<int>(spf_),
                        static_cast<int>(channels), decoded, failure)) {
    return Failed(failure);
  }
  const int64_t lo = std::max(from, first * spf_), hi = std::min(to, end * spf_);
  std::copy(decoded.begin() + static_cast<std::ptrdiff_t>((lo - fed * spf_) * channels),
            decoded.begin() + static_cast<std::ptrdiff_t>((hi - fed * spf_) * channels),
            pcm.begin() + static_cast<std::ptrdiff_t>((lo - from) * channels));
  return true;
}

SeamFormat SeamMaker::FormatOf(const Span& span) const {
  const uint32_t header = Frame(span.first).header;
  SeamFormat format;
  format.sampleRate = source_.stream().facts().sampleRate;
  format.channels = ChannelCount(header);
  format.mode = static_cast<int>((header >> 6) & 3);
  format.crc = HeaderHasCrc(header);
  // The highest bit rate of the source's frames whose sound the span holds.
  format.kbps = 0;
  const int64_t sourceFrames = span.end - span.first - span.removed();
  for (int64_t index = span.first; index < span.first + sourceFrames; ++index) {
    format.kbps = std::max(format.kbps, Layer3BitRate(Frame(index).header));
  }
  for (int64_t index = span.end - sourceFrames; index < span.end; ++index) {
    format.kbps = std::max(format.kbps, Layer3BitRate(Frame(index).header));
  }
  return format;
}

// The encoder's output as frames; false unless it holds whole Layer III frames.
bool SplitFrames(const std::vector<unsigned char>& stream, std::vector<FrameRecord>& frames) {
  uint64_t area = 0;
  for (size_t at = 0; at + 4 <= stream.size();) {
    const uint32_t header = ReadBigEndian32(&stream[at]);
    const int length = FrameLength(header);
    if (!IsFrameHeader(header) || !HeaderIsLayer3(header) || length <= 0 ||
        at + static_cast<size_t>(length) > stream.size()) {
      return false;
    }
    FrameRecord record;
    record.frame = {at, header, static_cast<uint32_t>(length)};
    record.areaStart = area;
    frames.push_back(record);
    area += static_cast<uint64_t>(Layer3MainDataBytes(header));
    at += static_cast<size_t>(length);
  }
  return true;
}

// The source's frames before frame `end` that the cut writer repairs for a seam there.
bool SeamMaker::SourceTail(int64_t end, std::vector<std::vector<unsigned char>>& tail) {
  int64_t first = end;
  for (int64_t area = 0; first > 0 && area < kSeamTailArea;) {
    area += Layer3MainDataBytes(Frame(--first).header);
  }
  for (int64_t index = first; index < end; ++index) {
    const MpegFrame& frame = Frame(index);
    const unsigned char* data = source_.stream().Bytes(frame.position, frame.length);
    if (!data) return source_.ReadError(report_);
    tail.emplace_back(data, data + frame.length);
  }
  return true;
}

// Encodes `span`, one frame wider on a side where the encoder's first or last frame meets
// the source's frame in another window than it ends or begins with (the decoder's overlap
// would not cancel there), or where the frames before a junction cannot carry what the
// frame after it borrows, while the span may grow.
bool SeamMaker::Encode(Span& span, MadeSpan& made) {
  for (int attempt = 0;; ++attempt) {
    made = MadeSpan();
    if (!EncodeOnce(span, made)) return false;
    int before = 0, after = 0, borrows = 0;
    if (!SourceWindows(span.first - 1, true, before) ||
        !SourceWindows(span.end, false, after, &borrows)) {
      return false;
    }
    std::vector<std::vector<unsigned char>> tail;
    if (!SourceTail(span.first, tail)) return false;
    const bool widenFirst = (Windows(made.frames.front().data(), false) != before ||
                             !SeamHolds(tail, made.borrowed.size())) &&
                            span.first - 1 >= span.lowest;
    const bool widenEnd = (Windows(made.frames.back().data(), true) != after ||
                           !SeamHolds(made.frames, static_cast<size_t>(borrows))) &&
                          span.end + 1 <= span.highest;
    if (attempt == kWideningAttempts || (!widenFirst && !widenEnd)) return true;
    span.first -= widenFirst ? 1 : 0;
    span.end += widenEnd ? 1 : 0;
  }
}

bool SeamMaker::EncodeOnce(const Span& span, MadeSpan& made) {
  std::string failure;
  const SeamFormat format = FormatOf(span);
  std::unique_ptr<SeamEncoder> encoder = SeamEncoder::Open(format, failure);
  if (!encoder) return Failed(failure);
  // The encoder's raw output sample r holds its input sample r - lag. Its first `skipped`
  // frames (its delay and the lead-in) are left out; its frame `skipped` is the span's first.
  const int64_t lag = encoder->delay() + kDecoderDelay;
  const int64_t skipped = CeilDiv(lag + kLeadIn, spf_);
  const int64_t frames = span.end - span.first - span.removed();
  const int64_t from = lag - skipped * spf_;  // span samples, 0 where the span begins
  const int64_t to = (frames + kTrailFrames) * spf_;
  const size_t channels = static_cast<size_t>(format.channels);
  const int64_t spanRaw = span.first * spf_;
  // The sound before the first splice, then each splice's crossfade into the sound after it.
  std::vector<float> mixed;
  if (!DecodeSource(spanRaw + from, spanRaw + to, mixed)) return false;
  std::vector<float> after;
  int64_t shift = 0;
  for (const Splice& splice : span.splices) {
    const int64_t centre = splice.raw - spanRaw - shift;
    shift += splice.frames * spf_;
    if (!DecodeSource(spanRaw + shift + from, spanRaw + shift + to, after)) return false;
    for (int64_t v = from; v < to; ++v) {
      const double w = Weight(v - centre);
      if (w == 0) continue;
      const size_t at = static_cast<size_t>(v - from) * channels;
      for (size_t c = 0; c < channels; ++c) {
        mixed[at + c] = static_cast<float>((1 - w) * mixed[at + c] + w * after[at + c]);
      }
    }
  }
  std::vector<unsigned char> stream;
  if (!encoder->Encode(mixed, static_cast<size_t>(to - from), stream, failure)) {
    return Failed(failure);
  }
  std::vector<FrameRecord> records;
  if (!SplitFrames(stream, records) || static_cast<int64_t>(records.size()) < skipped + frames) {
    return Failed("the MP3 encoder wrote fewer frames than it was given samples for");
  }
  for (int64_t index = skipped; index < skipped + frames; ++index) {
    const MpegFrame& frame = records[static_cast<size_t>(index)].frame;
    made.frames.emplace_back(
        stream.begin() + static_cast<std::ptrdiff_t>(frame.position),
        stream.begin() + static_cast<std::ptrdiff_t>(frame.position + frame.length));
  }
  // What the first kept frame borrows from the encoder's frames left out before it.
  const FrameRecord& first = records[static_cast<size_t>(skipped)];
  const uint64_t begin = static_cast<uint64_t>(MainDataBegin(made.frames.front().data()));
  const uint64_t lo = first.areaStart - std::min(first.areaStart, begin);
  made.borrowed.assign(static_cast<size_t>(first.areaStart - lo), 0);
  return CopyMainData([&records](int64_t i) { return &records[static_cast<size_t>(i)]; },
                      skipped - 1, lo, first.areaStart, made.borrowed.data(),
                      [&stream](uint64_t at, size_t) { return stream.data() + at; });
}

}  // namespace

bool SmoothSeams(WholeSource& source, int crossfadeMs, CutPlan& plan, std::vector<MadeSpan>& made,
                 JobReport& report, const std::vector<int64_t>& streamStarts) {
  SeamMaker maker(source, crossfadeMs, streamStarts, report);
  std::vector<Span> spans;
  if (!maker.Place(plan, spans)) return false;
  std::vector<FrameSeam> seams;
  int64_t removed = 0;
  for (Span& span : spans) {
    if (!span.smooth) {
      for (size_t i = span.seam; i < span.seamEnd; ++i) {
        seams.push_back(plan.seams[i]);
        removed += plan.seams[i].end - plan.seams[i].first;
        made.emplace_back();
      }
      continue;
    }
    made.emplace_back();
    if (!maker.Encode(span, made.back())) return false;
    const int64_t offset = source.stream().facts().cut.delay + kDecoderDelay;
    const int64_t spf = source.stream().facts().cut.samplesPerFrame;
    for (const Splice& splice : span.splices) {
      const int64_t start = splice.raw - offset;
      made.back().removed.push_back({start, start + splice.frames * spf});
    }
    seams.push_back({span.first,
                     span.end,
                     {plan.seams[span.seam].asked.start, plan.seams[span.seamEnd - 1].asked.end}});
    removed += span.removed();
  }
  plan.seams = std::move(seams);
  plan.samples =
      plan.keptEnd - plan.keptStart - removed * source.stream().facts().cut.samplesPerFrame;
  return true;
}

}  // namespace partwell
