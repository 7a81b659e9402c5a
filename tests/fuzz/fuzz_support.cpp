#include "fuzz_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "io/memory_files.h"

namespace partwell::fuzz {

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
  size_t entries = std::max<size_t>((controls[0] & 3) + 1, job.equalSegments ? 2 : 1);
  int32_t offset = 0;
  for (size_t i = 0; i < entries; ++i) {
    if (i > 0) {
      offset += 1 + (controls[2 * i - 1] | (controls[2 * i] << 8)) % 600 +
                (job.equalSegments ? 25 : 0);
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
  bool trailer = file.size() >= 128 && std::memcmp(&file[file.size() - 128], "TAG", 3) == 0;
  return file.size() - (trailer ? 128 : 0);
}

}  // namespace partwell::fuzz
