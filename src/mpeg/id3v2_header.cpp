#include "mpeg/id3v2_header.h"

#include <cstring>

#include "mpeg/byte_order.h"

namespace partwell {

std::optional<Id3v2Header> ParseId3v2Header(const unsigned char* bytes, size_t length) {
  if (length < kId3v2HeaderBytes || std::memcmp(bytes, "ID3", 3) != 0 || bytes[3] == 0xFF ||
      bytes[4] == 0xFF) {
    return std::nullopt;
  }
  std::optional<uint32_t> size = ReadSyncSafe32(bytes + kId3v2SizeOffset);
  if (!size) return std::nullopt;
  Id3v2Header header;
  header.version = bytes[3];
  header.flags = bytes[5];
  header.size = *size;
  return header;
}

}  // namespace partwell
