// The CRC of the LAME extension, whichever way the processor lets it be computed, against the
// textbook bit-at-a-time CRC-16/ARC.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mp3_walk.h"
#include "mpeg/crc16.h"

namespace partwell {
namespace {

TEST(Crc16, AgreesWithTheBitByBitCrcForEveryLengthAndStart) {
  const unsigned char check[] = "123456789";
  EXPECT_EQ(Crc16(check, 9), 0xBB3D);  // the catalogue's check value of CRC-16/ARC
  std::mt19937 random(16);
  std::vector<unsigned char> data(70000);
  for (unsigned char& byte : data) byte = static_cast<unsigned char>(random());
  std::vector<size_t> lengths;
  for (size_t length = 0; length <= 300; ++length) lengths.push_back(length);
  lengths.insert(lengths.end(), {1023, 1024, 1025, 4096 + 17, 65536, 69990});
  for (size_t length : lengths) {
    for (size_t start : {0, 1, 7}) {
      SCOPED_TRACE("length " + std::to_string(length) + " from " + std::to_string(start));
      const unsigned char* p = data.data() + start;
      uint16_t expected = test::BitByBitCrc16(p, length, 0);
      ASSERT_EQ(Crc16(p, length), expected);
      // A running value carried over any split gives the same.
      size_t split = length * 5 / 7;
      ASSERT_EQ(Crc16(p + split, length - split, Crc16(p, split)), expected);
      ASSERT_EQ(Crc16(p, length, 0xFFFF), test::BitByBitCrc16(p, length, 0xFFFF));
    }
  }
}

}  // namespace
}  // namespace partwell
