#include "fuzz_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "io/memory_files.h"

namespace partwell::fuzz {
namespace {

constexpr size_t kTrailer = 128;

uint32_t BigEndian(const unsigned char* bytes, int count, int bits) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << bits | bytes[i];
  return value;
}

// The text of the ID3v2.3 tag's TRCK frame (ISO-8859-1), walking its frames.
std::string TrackNumberOf(const Bytes& tag) {
  for (size_t at = 10; at + 10 <= tag.size();) {
    size_t length = BigEndian(&tag[at + 4], 4, 8);
    Require(at + 10 + length <= tag.size());
    if (std::memcmp(&tag[at], "TRCK", 4) == 0) {
      Require(length > 1 && tag[at + 10] == 0);
      return std::string(tag.begin() + static_cast<std::ptrdiff_t>(at + 11),
                         tag.begin() + static_cast<std::ptrdiff_t>(at + 10 + length));
    }
    at += 10 + length;
  }
  return "";
}

}  // namespace

void Require(bool condition) {
  if (!condition) std::abort();
}

SplitJob ControlledSplit(const uint8_t* controls, bool exact) {
  SplitJob job;
  job.sourcePath = "/mem/source.mp3";
  job.nameTemplate = "%track%";
  job.folder = "/mem/out/";
  job.exact = exact;
  job.equalSegments = (controls[0] & 4) != 0;
  job.tags = (controls[0] & 8) != 0;
  size_t entries = std::max<size_t>((controls[0] & 3) + 1, job.equalSegments ? 2 : 1);
  int32_t offset = 0;
  for (size_t i = 0; i < entries; ++i) {
    if (i > 0) {
      offset +=
          1 + (controls[2 * i - 1] | (controls[2 * i] << 8)) % 600 + (job.equalSegments ? 25 : 0);
    }
    TrackEntry entry;
    entry.offset = offset;
    job.entries.push_back(entry);
  }
  return job;
}

void StartFiles(const std::vector<std::pair<std::string, Bytes>>& files) {
  memory::Reset();
  for (const auto& [path, bytes] : files) memory::PutFile(path, bytes);
}

void RequireSpared(const std::vector<std::pair<std::string, Bytes>>& files) {
  Require(memory::OpenHandles() == 0);
  for (const auto& [path, bytes] : files) Require(*memory::FileBytes(path) == bytes);
}

std::vector<Bytes> FilesIn(const std::string& folder) {
  std::vector<std::string> paths;
  for (const std::string& path : memory::Paths()) {
    if (path.compare(0, folder.size(), folder) == 0) paths.push_back(path);
  }
  // Track 100 comes after track 99: the longer name is the later one.
  std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  std::vector<Bytes> files;
  for (const std::string& path : paths) files.push_back(*memory::FileBytes(path));
  return files;
}

size_t EndOfAudio(const Bytes& file) {
  bool trailer =
      file.size() >= kTrailer && std::memcmp(&file[file.size() - kTrailer], "TAG", 3) == 0;
  return file.size() - (trailer ? kTrailer : 0);
}

Bytes TrackAudio(const Bytes& track, const Bytes& source, size_t number, size_t count) {
  size_t begin = 0;
  if (number > 0) {
    Require(track.size() >= 10 && std::memcmp(track.data(), "ID3\3\0\0", 6) == 0);
    begin = 10 + BigEndian(&track[6], 4, 7);
    Require(begin <= track.size());
    Require(
        TrackNumberOf(Bytes(track.begin(), track.begin() + static_cast<std::ptrdiff_t>(begin))) ==
        std::to_string(number) + "/" + std::to_string(count));
  }
  size_t end = track.size();
  if (EndOfAudio(source) < source.size()) {
    Require(end >= begin + kTrailer);
    end -= kTrailer;
    // Bytes [from, to) of the track's trailer are the source's.
    auto same = [&](size_t from, size_t to) {
      return std::equal(track.begin() + static_cast<std::ptrdiff_t>(end + from),
                        track.begin() + static_cast<std::ptrdiff_t>(end + to),
                        source.end() - static_cast<std::ptrdiff_t>(kTrailer - from));
    };
    // Tags give it the track's title, artist and number (bytes 3 to 62, 125 and 126).
    Require(number > 0 ? same(0, 3) && same(63, 125) && same(127, 128) : same(0, kTrailer));
  }
  return Bytes(track.begin() + static_cast<std::ptrdiff_t>(begin),
               track.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace partwell::fuzz
