#include "mpeg/id3v1_trailer.h"

#include <cstring>

namespace partwell {

std::optional<uint64_t> ReadTrailer(File& file, Trailer& trailer) {
  std::memset(trailer.bytes, 0, sizeof trailer.bytes);
  std::optional<uint64_t> size = file.Size();
  if (!size) return std::nullopt;
  if (*size < kTrailerBytes) return size;
  size_t got = 0;
  if (!file.Seek(*size - kTrailerBytes) || !file.Read(trailer.bytes, kTrailerBytes, got) ||
      got != kTrailerBytes) {
    trailer.bytes[0] = 0;
    return std::nullopt;
  }
  if (std::memcmp(trailer.bytes, "TAG", 3) != 0) {
    trailer.bytes[0] = 0;
    return size;
  }
  return *size - kTrailerBytes;
}

std::optional<AudioExtent> FindAudioExtent(File& file) {
  Trailer trailer;
  std::optional<uint64_t> end = ReadTrailer(file, trailer);
  if (!end) return std::nullopt;
  return AudioExtent{trailer.present(), *end};
}

}  // namespace partwell
