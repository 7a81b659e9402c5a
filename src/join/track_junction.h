// Where two tracks of one exact split meet again in a join. A track that does not start at
// the source's start opens with frames that repeat the end of the track before it (the
// warm-up frames, and the frame its first sample lies in when the cut is inside one), most
// often after a silent reservoir frame that holds the main data they borrow. Joined as they
// are, those frames play in the middle. The join leaves them out, so that the joined stream
// is the source's frames once each; the first track's delay and the last one's padding then
// trim it to the source's timeline over the tracks.
//
// They are recognised from the bytes and the two tags alone: the earlier track's padding
// and the later one's delay add up to whole frames (the ones to leave out: the timeline of
// the later track starts right where that of the earlier one ends); after a reservoir frame
// or not, the later track's first frames are the earlier one's last frames, byte for byte;
// and the main data its kept frames borrow from before them is the same bytes in the joined
// stream as in the track. Anything else is joined as it is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace partwell {

// The frames a junction looks at on either side: more than a track repeats, and enough to
// hold the largest reservoir (511 bytes) before them in the smallest frames.
constexpr size_t kJunctionFrames = 32;
// The last kJunctionFrames frames of a stream start in its last kJunctionBytes: no frame of
// any layer is longer than 1729 bytes (Layer II, 384 kbps, 32 kHz, padded).
constexpr uint64_t kJunctionBytes = kJunctionFrames * 1729;

// The last audio frames of the joined stream as far as it is written, with nothing after
// them, and the padding that the source they end stated.
class JoinedTail {
 public:
  // The audio frame of `length` bytes at `frame` is written at `position` of the joined file:
  // the frames before it stay the tail when they end there. (Only the frames that start in
  // a stream's last kJunctionBytes need be added.)
  void AddFrame(uint64_t position, const unsigned char* frame, size_t length);
  // The source of the frames so far has a trusted LAME tag with this padding, or none.
  void SetPadding(std::optional<int> padding) { padding_ = padding; }
  // The tail is empty: no frame, or bytes that are no frame after the last one.
  void Clear() { count_ = 0; }

  // The frames, oldest first, when they end at `end`: the joined file's end.
  std::vector<const std::vector<unsigned char>*> FramesEndingAt(uint64_t end) const;
  std::optional<int> padding() const { return padding_; }

 private:
  std::array<std::vector<unsigned char>, kJunctionFrames> frames_;  // a ring
  size_t next_ = 0;                                                 // the slot the next frame takes
  size_t count_ = 0;  // frames held, at most kJunctionFrames
  uint64_t end_ = 0;  // where the newest frame ends in the joined file
  std::optional<int> padding_;
};

// The first audio frames of a later source (up to kJunctionFrames, from right after its
// header frame, with no byte between them) and the delay its trusted LAME tag states.
struct TrackHead {
  int delay = 0;
  std::vector<std::vector<unsigned char>> frames;
};

// How many of the head's frames repeat the tail of a joined file that now ends at `end`, and
// are left out: 0 unless every test above holds.
size_t RepeatedFrames(const JoinedTail& tail, uint64_t end, const TrackHead& head);

class JoinSource;
// The head of a later source: its first frames when it has a trusted LAME tag, else none.
// False when it cannot be read.
bool ReadTrackHead(JoinSource& source, TrackHead& head);

}  // namespace partwell
