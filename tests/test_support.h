// Helpers for tests that work on real files in a temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace partwell::test {

using Bytes = std::vector<unsigned char>;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);

// The four bytes of a frame header word.
Bytes HeaderBytes(uint32_t word);
// A constant-bit-rate stream of `count` frames of `frameBytes` bytes, each beginning with
// `word`; the rest of each frame is filled with `fill`, which holds no frame sync.
Bytes FrameStream(uint32_t word, size_t frameBytes, size_t count, unsigned char fill = 0x55);
// A 128-byte ID3v1 trailer whose title is `title`.
Bytes Id3v1Trailer(const std::string& title = "A title");

Bytes Concat(std::initializer_list<Bytes> parts);

}  // namespace partwell::test
