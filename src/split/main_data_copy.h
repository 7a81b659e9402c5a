// Bytes of a Layer III main data stream (the main data areas of the frames taken together),
// copied out of the frames that hold them: what a frame borrows from the frames before it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "mpeg/side_info.h"
#include "split/frame_ring.h"

namespace partwell {

// Copies the stream's bytes [from, to) into `out` (to - from bytes) from the areas of frame
// `last` and the frames before it. `record(index)` gives a frame's record, null where none
// is known (its bytes stay as they are); `read(position, length)` gives the source's bytes,
// null when a read failed (then false).
template <class Record, class Read>
bool CopyMainData(Record record, int64_t last, uint64_t from, uint64_t to, unsigned char* out,
                  Read read) {
  for (int64_t earlier = last; earlier >= 0; --earlier) {
    const FrameRecord* held = record(earlier);
    if (!held) break;
    const uint64_t areaEnd = held->areaStart + Layer3MainDataBytes(held->frame.header);
    if (areaEnd <= from) break;
    const uint64_t lo = std::max(from, held->areaStart);
    const uint64_t hi = std::min(to, areaEnd);
    if (lo >= hi) continue;
    const uint64_t at =
        held->frame.position + Layer3MainDataOffset(held->frame.header) + (lo - held->areaStart);
    const unsigned char* piece = read(at, static_cast<size_t>(hi - lo));
    if (!piece) return false;
    std::copy(piece, piece + (hi - lo), out + (lo - from));
  }
  return true;
}

}  // namespace partwell
