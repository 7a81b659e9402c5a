// A header frame of our own for a stream that has none and whose bit rate varies, so that
// players know its length: a Layer III frame of the stream's version, sampling rate and channel
// mode, without a CRC, whose side information is all zero (it holds no audio) and which holds a
// Xing header with a frame count, a byte count and a TOC, to be filled in when they are known.
// It has no LAME extension: it makes no claim about the encoder, its delay or its padding.
#pragma once

#include <cstdint>
#include <vector>

namespace partwell {

// The frame for the stream whose first audio frame has the Layer III header `streamHeader`,
// at the smallest bit rate whose frame holds the Xing header; its counts and TOC are zero.
std::vector<unsigned char> MakeXingFrame(uint32_t streamHeader);

}  // namespace partwell
