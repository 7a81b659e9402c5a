// The ID3v1 trailer: the last 128 bytes of a file when they begin with "TAG". The split
// appends the source's trailer to every track; the join leaves each source's out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "io/file.h"

namespace partwell {

constexpr size_t kTrailerBytes = 128;
// Where the trailer's fields begin, after "TAG". Text fields are Latin-1, padded with zeros
// or spaces.
constexpr size_t kTrailerTitle = 3;
constexpr size_t kTrailerArtist = 33;
constexpr size_t kTrailerAlbum = 63;
constexpr size_t kTrailerYear = 93;
constexpr size_t kTrailerComment = 97;
constexpr size_t kTrailerTextBytes = 30;  // title, artist, album, comment
constexpr size_t kTrailerYearBytes = 4;
// ID3v1.1 gives the comment's last two bytes to a zero and the track number.
constexpr size_t kTrailerNumberMark = 125;
constexpr size_t kTrailerNumber = 126;
constexpr size_t kTrailerGenre = 127;

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

// Fills `trailer` with the file's trailer, or marks it absent (a file shorter than 128
// bytes, no "TAG"). Returns the file's end of audio, or nothing when its size or last bytes
// cannot be read (a read that ends before the size says included).
std::optional<uint64_t> ReadTrailer(File& file, Trailer& trailer);

}  // namespace partwell
