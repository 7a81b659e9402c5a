// CRC-16/ARC (polynomial 0x8005, reflected, initial value 0, no final XOR): the checksum of
// the LAME extension's tag and of a stream's music. A join checks every byte of its audio
// with it, so it runs at the speed of memory where the processor multiplies without carries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace partwell {

// The CRC of `length` bytes; `crc` carries a running value over several pieces.
uint16_t Crc16(const unsigned char* data, size_t length, uint16_t crc = 0);

}  // namespace partwell
