// The bit reservoir at a frame seam. The first frames after a seam borrow main data from the
// frames before them, which the seam left out; no kept frame may decode with data missing.
//
// The repair keeps the most bytes as they were, in this order:
// 1. Room: the frames before the seam end with main data bytes that no kept frame reads
//    (they were the reservoir of the frames left out). The borrowed bytes go there; every
//    header, every side information and every byte a kept frame reads stays as it was.
// 2. A larger frame before the seam: when the room is too small, the last frame before the
//    seam is framed at the smallest higher bit rate whose frame holds the rest. Its own
//    bytes stay where they were (main data is placed from the area's start); the frame only
//    grows at its end, and its header (and CRC) change. The file's header then says "Xing".
//    Re-framing the first frame after the seam instead would move its main data and change
//    its side information: more bytes changed, for the same result.
// 3. When that frame is at the highest bit rate already, a reservoir frame (silent, as an
//    exact track starts with) stands between the two: one frame of silence more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace partwell {

// The frames before a seam searched for room: enough main data area for the largest
// reservoir (511 bytes, MPEG-1).
constexpr int64_t kSeamTailArea = 512;

enum class SeamRepair { kNothingBorrowed, kRoom, kLargerFrame, kReservoirFrame };

// Carries `borrowed` (the bytes the first frame after the seam reads before its own main
// data area) at the end of the main data of `tail`, the last frames before the seam in
// order (each a whole Layer III frame; together at least as much main data area as
// `borrowed`, or all the frames kept before the seam). Returns the repair made; for
// kReservoirFrame, `tail` is left alone.
SeamRepair RepairSeam(std::vector<std::vector<unsigned char>>& tail,
                      const std::vector<unsigned char>& borrowed);

// Whether RepairSeam carries `borrowed` bytes in `tail` without a reservoir frame.
bool SeamHolds(const std::vector<std::vector<unsigned char>>& tail, size_t borrowed);

}  // namespace partwell
