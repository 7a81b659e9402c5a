// The ten-byte header of an ID3v2 tag: "ID3", version, revision, flags and the syncsafe size
// of what follows. The probe skips a source's leading tags by it, the tag reader reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace partwell {

constexpr size_t kId3v2HeaderBytes = 10;
constexpr size_t kId3v2SizeOffset = 6;  // of the four syncsafe size bytes
// The header's flags.
constexpr unsigned char kId3v2Unsynchronised = 0x80;
constexpr unsigned char kId3v2ExtendedHeader = 0x40;  // in v2.2: the tag is compressed
constexpr unsigned char kId3v2Footer = 0x10;          // a copy of the header ends the tag

struct Id3v2Header {
  int version = 0;
  unsigned char flags = 0;
  uint32_t size = 0;  // the bytes after the header, without a footer
  // The whole tag: header, `size` bytes and the footer when there is one.
  uint64_t tagBytes() const {
    return kId3v2HeaderBytes + uint64_t{size} + ((flags & kId3v2Footer) ? kId3v2HeaderBytes : 0);
  }
};

// The header in the first `length` bytes at `bytes`: "ID3", a version and a revision that are
// not 0xFF, and a syncsafe size whose four bytes each leave the top bit clear. Nothing when
// they are not one, or are fewer than kId3v2HeaderBytes.
std::optional<Id3v2Header> ParseId3v2Header(const unsigned char* bytes, size_t length);

}  // namespace partwell
