// CRC-16/ARC (polynomial 0x8005, reflected, initial value 0, no final XOR): the LAME
// extension's checksum of its own bytes and of all of a stream's audio frames. A track of an
// exact split sums every byte it holds, so this runs at memory speed where the processor
// multiplies without carries, eight bytes a step elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace partwell {

// The CRC of `length` bytes at `data`; `crc` carries a running value over several pieces.
uint16_t Crc16(const unsigned char* data, size_t length, uint16_t crc = 0);

}  // namespace partwell
