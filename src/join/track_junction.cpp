#include "join/track_junction.h"

#include <algorithm>

#include "join/join_source.h"
#include "mpeg/byte_order.h"
#include "mpeg/frame_header.h"
#include "mpeg/side_info.h"

namespace partwell {
namespace {

using Frame = std::vector<unsigned char>;

uint32_t HeaderOf(const Frame& frame) { return ReadBigEndian32(frame.data()); }

size_t AreaStart(const Frame& frame) {
  return static_cast<size_t>(Layer3MainDataOffset(HeaderOf(frame)));
}

// A Layer III frame with a main data area: the only kind with a reservoir to mind.
bool HasArea(const Frame& frame) {
  return frame.size() >= 4 && HeaderIsLayer3(HeaderOf(frame)) && frame.size() > AreaStart(frame);
}

size_t AreaBytes(const Frame& frame) { return frame.size() - AreaStart(frame); }

// A frame that decodes to silence and only feeds the reservoir: all side information zero.
bool IsReservoirFrame(const Frame& frame) {
  const size_t side = 4 + (HeaderHasCrc(HeaderOf(frame)) ? 2 : 0);
  return std::all_of(frame.begin() + static_cast<std::ptrdiff_t>(side),
                     frame.begin() + static_cast<std::ptrdiff_t>(AreaStart(frame)),
                     [](unsigned char b) { return b == 0; });
}

// How far the frames from `kept` on reach back into the main data before frame `from`.
size_t ReachBefore(const std::vector<Frame>& frames, size_t from, size_t kept) {
  size_t areas = 0;  // of the frames from `from` up to the one looked at
  size_t reach = 0;
  for (size_t i = from; i < frames.size(); ++i) {
    const size_t begin = static_cast<size_t>(MainDataBegin(frames[i].data()));
    if (i >= kept && begin > areas) reach = std::max(reach, begin - areas);
    areas += AreaBytes(frames[i]);
  }
  return reach;
}

// The last `count` bytes of the main data of `frames`, or nothing when they hold fewer.
std::optional<Frame> MainDataTail(const std::vector<const Frame*>& frames, size_t count) {
  Frame bytes(count);
  size_t missing = count;
  for (size_t i = frames.size(); i > 0 && missing > 0; --i) {
    const Frame& frame = *frames[i - 1];
    if (!HasArea(frame)) return std::nullopt;
    const size_t take = std::min(missing, AreaBytes(frame));
    std::copy(frame.end() - static_cast<std::ptrdiff_t>(take), frame.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(missing - take));
    missing -= take;
  }
  if (missing > 0) return std::nullopt;
  return bytes;
}

// Whether the head's first `left` frames repeat the tail with `reservoir` frames (0 or 1)
// before the repeats, and the kept frames borrow the same bytes in either stream.
bool Repeats(const std::vector<const Frame*>& tail, const std::vector<Frame>& head, size_t left,
             size_t reservoir) {
  const size_t repeats = left - reservoir;
  if (repeats == 0 || repeats > tail.size() || left > head.size()) return false;
  if (reservoir == 1 && !IsReservoirFrame(head[0])) return false;
  const size_t tailRepeats = tail.size() - repeats;
  for (size_t i = 0; i < repeats; ++i) {
    if (*tail[tailRepeats + i] != head[reservoir + i]) return false;
  }
  const size_t reach = ReachBefore(head, reservoir, left);
  if (reach == 0) return true;
  // In the track the bytes come from its reservoir frame, in the joined stream from the
  // frames before the repeated ones.
  if (reservoir == 0 || AreaBytes(head[0]) < reach) return false;
  const std::vector<const Frame*> before(tail.begin(),
                                         tail.begin() + static_cast<std::ptrdiff_t>(tailRepeats));
  const std::optional<Frame> joined = MainDataTail(before, reach);
  return joined && std::equal(joined->begin(), joined->end(),
                              head[0].end() - static_cast<std::ptrdiff_t>(reach));
}

}  // namespace

void JoinedTail::AddFrame(uint64_t position, const unsigned char* frame, size_t length) {
  if (position != end_) count_ = 0;
  frames_[next_].assign(frame, frame + length);
  next_ = (next_ + 1) % kJunctionFrames;
  count_ = std::min(count_ + 1, kJunctionFrames);
  end_ = position + length;
}

std::vector<const std::vector<unsigned char>*> JoinedTail::FramesEndingAt(uint64_t end) const {
  std::vector<const std::vector<unsigned char>*> frames;
  if (end != end_) return frames;
  for (size_t i = 0; i < count_; ++i) {
    frames.push_back(&frames_[(next_ + kJunctionFrames - count_ + i) % kJunctionFrames]);
  }
  return frames;
}

size_t RepeatedFrames(const JoinedTail& tail, uint64_t end, const TrackHead& head) {
  const std::vector<const Frame*> frames = tail.FramesEndingAt(end);
  if (!tail.padding() || frames.empty() || head.frames.empty() ||
      !std::all_of(head.frames.begin(), head.frames.end(), HasArea)) {
    return 0;
  }
  // The later track's timeline starts where the earlier one's ends: the earlier one's
  // padding and the later one's delay are the samples of the frames between.
  const int spf = Layer3SamplesPerFrame(HeaderOf(head.frames[0]));
  const int between = *tail.padding() + head.delay;
  if (spf <= 0 || between <= 0 || between % spf != 0) return 0;
  const size_t left = static_cast<size_t>(between / spf);
  for (size_t reservoir : {size_t{1}, size_t{0}}) {
    if (Repeats(frames, head.frames, left, reservoir)) return left;
  }
  return 0;
}

bool ReadTrackHead(JoinSource& source, TrackHead& head) {
  head = TrackHead();
  const std::optional<DelayPadding> tag = source.trustedDelayPadding();
  if (!tag) return true;
  head.delay = tag->delay;
  BufferedSource& reader = source.reader();
  FrameScanner scanner(reader, source.audioStart());
  uint64_t next = source.audioStart();
  MpegFrame frame;
  while (head.frames.size() < kJunctionFrames) {
    const FrameScanner::Step step = scanner.Next(frame);
    if (step == FrameScanner::Step::kReadFailed) return false;
    if (step != FrameScanner::Step::kFrame || frame.position != next) return true;
    const unsigned char* data = nullptr;
    size_t available = 0;
    if (!reader.View(frame.position, frame.length, data, available)) return false;
    head.frames.emplace_back(data, data + frame.length);
    next = frame.position + frame.length;
  }
  return true;
}

}  // namespace partwell
