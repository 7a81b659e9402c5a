// Layer III side information and main data: where a frame's main data area lies, how much
// of the bit reservoir (the main data of earlier frames) it borrows, and the made-up frames
// that an exact cut needs: a silent frame whose area ends with exactly the bytes the next
// frame borrows, so that a track can start anywhere in a stream.
//
// A frame's main data starts main_data_begin bytes before its own area: in the areas of
// earlier frames, taken together as one stream (headers, CRCs and side information are not
// part of it). main_data_begin is the first 9 (MPEG-1) or 8 (MPEG-2 and 2.5) bits of the
// side information.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mpeg/frame_header.h"

namespace partwell {

// Where the main data area of a Layer III frame begins: after the header, its CRC when it
// has one, and the side information.
constexpr int Layer3MainDataOffset(uint32_t header) {
  return 4 + (HeaderHasCrc(header) ? 2 : 0) + Layer3SideInfoBytes(header);
}
// The bytes of a Layer III frame's main data area; 0 when the frame is too short for one.
int Layer3MainDataBytes(uint32_t header);

// main_data_begin of the frame whose first bytes are `frame` (at least
// Layer3MainDataOffset(header) of them).
int MainDataBegin(const unsigned char* frame);

// The bytes of main data the frame whose first bytes are `frame` decodes: its part2_3_length
// bits over every granule and channel, rounded up to whole bytes.
int MainDataLength(const unsigned char* frame);

// The block type (0 normal, 1 start, 2 short, 3 stop) of granule `granule` (0 or 1 in
// MPEG-1, 0 in MPEG-2 and 2.5) and channel `channel` of the frame whose first bytes are
// `frame`. A decoder overlaps a granule's transform with the one before it: that granule
// must end in the window this one begins with (long for 0 and 1, short for 2 and 3).
int Layer3BlockType(const unsigned char* frame, int granule, int channel);

// The MPEG audio CRC (polynomial 0x8005, initial value 0xFFFF, most significant bit first)
// that a protected frame carries after its header: over the header's last two bytes and
// the side information.
uint16_t FrameCrc(const unsigned char* frame);

// The header `header` with bit rate index `index`, no padding, mode extension 0: the header
// of a frame made up to stand before (or describe) the frames of that header.
uint32_t MadeUpHeader(uint32_t header, int index);

// The header `header` with bit rate index `index` and no padding, its channel mode and mode
// extension kept: an audio frame of the source framed at another bit rate.
uint32_t ReframedHeader(uint32_t header, int index);

// Writes `header` into the frame at `frame` and, when it has a CRC, the CRC anew.
void WriteFrameHeader(unsigned char* frame, uint32_t header);

// The smallest bit rate index (1 to 14) whose unpadded frame of `header`'s kind holds
// `bytes` bytes of main data; 0 when none does.
int SmallestIndexHolding(uint32_t header, size_t bytes);

// A reservoir frame: header MadeUpHeader(next, index) (with a CRC when `next` has one),
// all-zero side information, so it decodes to silence, and a main data area of fill bytes
// (0x55, never 0) ending with the `count` bytes at `borrowed`. The area must hold count + 1
// bytes.
std::vector<unsigned char> MakeReservoirFrame(uint32_t next, int index,
                                              const unsigned char* borrowed, size_t count);

// A silent frame to follow the frame with header `before`, at its bit rate: a reservoir
// frame that holds no borrowed bytes. A track whose source has one frame ends with it, as
// a file needs two audio frames for ffmpeg to open it.
std::vector<unsigned char> MakeSilentFrame(uint32_t before);

}  // namespace partwell
