#include "test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace partwell::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device random;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path candidate = base / ("partwell-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return (fs::path(path_) / name).string(); }

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes HeaderBytes(uint32_t word) {
  return {static_cast<unsigned char>(word >> 24), static_cast<unsigned char>(word >> 16),
          static_cast<unsigned char>(word >> 8), static_cast<unsigned char>(word)};
}

Bytes FrameStream(uint32_t word, size_t frameBytes, size_t count, unsigned char fill) {
  Bytes frame(frameBytes, fill);
  Bytes header = HeaderBytes(word);
  std::copy(header.begin(), header.end(), frame.begin());
  Bytes stream;
  stream.reserve(frameBytes * count);
  for (size_t i = 0; i < count; ++i) stream.insert(stream.end(), frame.begin(), frame.end());
  return stream;
}

Bytes Id3v1Trailer(const std::string& title) {
  Bytes tag(128, 0);
  tag[0] = 'T';
  tag[1] = 'A';
  tag[2] = 'G';
  std::copy(title.begin(), title.begin() + std::min<size_t>(title.size(), 30), tag.begin() + 3);
  return tag;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace partwell::test
