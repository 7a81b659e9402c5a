#include "io/file.h"

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

#ifdef _WIN32
const char kPathSeparator = '\\';
bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
#else
const char kPathSeparator = '/';
bool IsPathSeparator(char c) { return c == '/'; }
#endif

}  // namespace partwell
