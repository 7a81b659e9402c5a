// Helpers for tests that work on real files in a temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"

namespace partwell::test {

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

// The four bytes of a frame header word.
Bytes HeaderBytes(uint32_t word);
// A constant-bit-rate stream of `count` frames of `frameBytes` bytes, each beginning with
// `word`; the rest of each frame is filled with `fill`, which holds no frame sync.
Bytes FrameStream(uint32_t word, size_t frameBytes, size_t count, unsigned char fill = 0x55);
// A 128-byte ID3v1 trailer whose title is `title`.
Bytes Id3v1Trailer(const std::string& title = "A title");

Bytes Concat(std::initializer_list<Bytes> parts);
// The bytes [from, to) of `bytes`.
Bytes Slice(const Bytes& bytes, uint64_t from, uint64_t to);
// The bytes of `text`, as they are.
Bytes TextBytes(const std::string& text);

// ID3v2 tags written byte by byte from the format's rules, for the tag reader to meet forms
// that no tool writes. A frame of a v2.2, v2.3 or v2.4 tag (its size in 24 bits, 32 bits or
// 28 syncsafe bits; v2.2 has no flags):
Bytes Id3v2FrameBytes(int version, const std::string& id, const Bytes& content, uint16_t flags = 0);
// A tag of `version` around `body` (extended header and frames, unsynchronised as the flags
// say), with a footer when flag 0x10 is set.
Bytes Id3v2TagBytes(int version, unsigned char flags, const Bytes& body);
// Unsynchronisation: a zero after every 0xFF that comes before 0xE0 or more, a zero, or the end.
Bytes Unsynchronised(const Bytes& bytes);

// `text` as one word for /bin/sh.
std::string ShellQuoted(const std::string& text);
// Runs a shell command; returns its standard output and error, and its exit status.
std::string RunShell(const std::string& command, int& status);

}  // namespace partwell::test
