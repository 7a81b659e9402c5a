// Win32 backend of the file layer. Paths are passed to the "A" calls as they are: the
// window program runs with the UTF-8 code page, so they hold UTF-8.
#include <windows.h>

#include <algorithm>

#include "io/file.h"

namespace partwell {
namespace {

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
intptr_t FromHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? intptr_t{-1} : reinterpret_cast<intptr_t>(h);
}
int LastErrorCode() { return static_cast<int>(GetLastError()); }

}  // namespace

File File::OpenForReading(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return File(FromHandle(h), h == INVALID_HANDLE_VALUE ? LastErrorCode() : 0);
}

File File::CreateAlways(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return File(FromHandle(h), h == INVALID_HANDLE_VALUE ? LastErrorCode() : 0);
}

void File::Fail() { lastError_ = LastErrorCode(); }

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool File::Read(void* buffer, size_t size, size_t& got) {
  got = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (got < size) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(size - got, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(AsHandle(handle_), out + got, want, &n, nullptr)) {
      Fail();
      return false;
    }
    if (n == 0) break;
    got += n;
  }
  return true;
}

bool File::Write(const void* data, size_t size) {
  const auto* in = static_cast<const unsigned char*>(data);
  while (size > 0) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD n = 0;
    if (!WriteFile(AsHandle(handle_), in, want, &n, nullptr)) {
      Fail();
      return false;
    }
    if (n == 0) {
      lastError_ = ERROR_DISK_FULL;
      return false;
    }
    in += n;
    size -= n;
  }
  return true;
}

bool File::Seek(uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (position > static_cast<uint64_t>(INT64_MAX) ||
      !SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN)) {
    Fail();
    return false;
  }
  return true;
}

std::optional<uint64_t> File::Size() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(handle_), &size)) {
    Fail();
    return std::nullopt;
  }
  return static_cast<uint64_t>(size.QuadPart);
}

std::optional<FileIdentity> File::Identity() {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(AsHandle(handle_), &info)) {
    Fail();
    return std::nullopt;
  }
  return FileIdentity{info.dwVolumeSerialNumber,
                      (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

bool File::Close() {
  if (handle_ == kClosed) return true;
  BOOL closed = CloseHandle(AsHandle(handle_));
  handle_ = kClosed;
  if (!closed) {
    Fail();
    return false;
  }
  return true;
}

std::optional<FileIdentity> IdentifyPath(const std::string& path) {
  // No access rights are asked for, so a file that a job holds open can still be identified.
  File probe(FromHandle(CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)),
             0);
  if (!probe.IsOpen()) return std::nullopt;
  return probe.Identity();
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<std::string>{};
    return std::nullopt;
  }
  std::vector<std::string> names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(std::move(name));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::string SystemErrorText(int code) {
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
  return n > 0 ? std::string(text, n) : "error " + std::to_string(code);
}

}  // namespace partwell
