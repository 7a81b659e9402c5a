#include "io/file.h"

#include <algorithm>
#include <utility>

namespace partwell {

File::~File() { Close(); }

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed)), lastError_(other.lastError_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kClosed);
    lastError_ = other.lastError_;
  }
  return *this;
}

CopyStatus CopyFileRange(File& from, uint64_t position, uint64_t length, File& to,
                         std::vector<unsigned char>& scratch) {
  if (length > 0 && !from.Seek(position)) return CopyStatus::kReadFailed;
  while (length > 0) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(length, scratch.size()));
    size_t got = 0;
    bool read = from.Read(scratch.data(), want, got);
    if (!to.Write(scratch.data(), got)) return CopyStatus::kWriteFailed;
    if (!read || got < want) return CopyStatus::kReadFailed;
    length -= got;
  }
  return CopyStatus::kDone;
}

bool WouldReplace(const std::string& path, const std::string& other,
                  const std::optional<FileIdentity>& otherIdentity) {
  return path == other || (otherIdentity && IdentifyPath(path) == otherIdentity);
}

std::string ReadFailureText(const File& file) {
  return file.LastError() != 0 ? SystemErrorText(file.LastError())
                               : "the file ended sooner than its size said";
}

#ifdef _WIN32
const char kPathSeparator = '\\';
bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
#else
const char kPathSeparator = '/';
bool IsPathSeparator(char c) { return c == '/'; }
#endif

}  // namespace partwell
