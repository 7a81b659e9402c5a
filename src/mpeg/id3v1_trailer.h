// The ID3v1 trailer: the last 128 bytes of a file when they begin with "TAG". The split
// appends the source's trailer to every track; the join leaves each source's out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "io/file.h"

namespace partwell {

constexpr size_t kTrailerBytes = 128;

// The 128 bytes of a source's trailer; present() is false when the source has none.
struct Trailer {
  unsigned char bytes[kTrailerBytes] = {};
  bool present() const { return bytes[0] != 0; }
};

// Whether the file ends in a trailer, and where its audio ends: the trailer's start, or
// the file's size. Nothing when the file's size or last bytes cannot be read. The file's
// position is left undefined.
struct AudioExtent {
  bool hasTrailer = false;
  uint64_t endOfAudio = 0;
};
std::optional<AudioExtent> FindAudioExtent(File& file);

// True when the file's last 128 bytes begin with "TAG".
bool HasTrailer(File& file);
// Fills `trailer` with the file's trailer, or marks it absent (a file shorter than 128
// bytes, no "TAG"). Returns the file's end of audio, or nothing when its size or last bytes
// cannot be read (a read that ends before the size says included).
std::optional<uint64_t> ReadTrailer(File& file, Trailer& trailer);

}  // namespace partwell
