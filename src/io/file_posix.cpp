// POSIX backend of the file layer.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "io/file.h"

namespace partwell {

File File::OpenForReading(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return File(fd < 0 ? kClosed : fd, fd < 0 ? errno : 0);
}

File File::CreateAlways(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return File(fd < 0 ? kClosed : fd, fd < 0 ? errno : 0);
}

void File::Fail() { lastError_ = errno; }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool File::Read(void* buffer, size_t size, size_t& got) {
  got = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (got < size) {
    ssize_t n = ::read(static_cast<int>(handle_), out + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail();
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool File::Write(const void* data, size_t size) {
  const auto* in = static_cast<const unsigned char*>(data);
  while (size > 0) {
    ssize_t n = ::write(static_cast<int>(handle_), in, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail();
      return false;
    }
    if (n == 0) {
      lastError_ = ENOSPC;
      return false;
    }
    in += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool File::Seek(uint64_t position) {
  if (position > static_cast<uint64_t>(INT64_MAX)) {
    lastError_ = EINVAL;
    return false;
  }
  if (::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) < 0) {
    Fail();
    return false;
  }
  return true;
}

std::optional<uint64_t> File::Size() {
  struct stat st;
  if (::fstat(static_cast<int>(handle_), &st) != 0) {
    Fail();
    return std::nullopt;
  }
  return static_cast<uint64_t>(st.st_size);
}

std::optional<FileIdentity> File::Identity() {
  struct stat st;
  if (::fstat(static_cast<int>(handle_), &st) != 0) {
    Fail();
    return std::nullopt;
  }
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool File::Close() {
  if (handle_ == kClosed) return true;
  int result = ::close(static_cast<int>(handle_));
  handle_ = kClosed;
  if (result != 0) {
    Fail();
    return false;
  }
  return true;
}

std::optional<FileIdentity> IdentifyPath(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                          ::closedir);
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  return names;
}

std::string SystemErrorText(int code) { return std::strerror(code); }

}  // namespace partwell
