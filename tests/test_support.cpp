#include "test_support.h"

#include <algorithm>
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

std::string TempDir::File(const std::string& name) const {
  return (fs::path(path_) / name).string();
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

Bytes Slice(const Bytes& bytes, uint64_t from, uint64_t to) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Id3v2FrameBytes(int version, const std::string& id, const Bytes& content, uint16_t flags) {
  Bytes frame = TextBytes(id);
  uint32_t size = static_cast<uint32_t>(content.size());
  int bits = version == 4 ? 7 : 8;
  for (int i = version == 2 ? 2 : 3; i >= 0; --i) {
    frame.push_back(static_cast<unsigned char>((size >> (bits * i)) & ((1u << bits) - 1)));
  }
  if (version > 2) {
    frame.push_back(static_cast<unsigned char>(flags >> 8));
    frame.push_back(static_cast<unsigned char>(flags));
  }
  frame.insert(frame.end(), content.begin(), content.end());
  return frame;
}

Bytes Id3v2TagBytes(int version, unsigned char flags, const Bytes& body) {
  Bytes header = {'I', 'D', '3', static_cast<unsigned char>(version), 0, flags};
  for (int i = 3; i >= 0; --i) header.push_back((body.size() >> (7 * i)) & 0x7F);
  Bytes tag = Concat({header, body});
  if (flags & 0x10) {
    Bytes footer = header;
    std::copy_n("3DI", 3, footer.begin());
    tag.insert(tag.end(), footer.begin(), footer.end());
  }
  return tag;
}

Bytes Unsynchronised(const Bytes& bytes) {
  Bytes out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == 0xFF && (i + 1 == bytes.size() || bytes[i + 1] >= 0xE0 || bytes[i + 1] == 0)) {
      out.push_back(0);
    }
  }
  return out;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string RunShell(const std::string& command, int& status) {
  std::string output;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    status = -1;
    return output;
  }
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  status = pclose(pipe);
  return output;
}

}  // namespace partwell::test
