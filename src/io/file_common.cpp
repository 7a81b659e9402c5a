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
