// The file layer: the few operations the engines need, with 64-bit positions and
// sizes, over a POSIX and a Win32 backend. Every File closes its handle when it
// goes away, so a job that leaves early by any path leaves no file open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace partwell {

// What identifies a file whatever name or link it is reached by.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// How a copy of bytes from one file to another ended.
enum class CopyStatus { kDone, kReadFailed, kWriteFailed };

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading; other programs may read it meanwhile.
  static File OpenForReading(const std::string& path);
  // Creates a file for writing, replacing one of the same name; others may only read it.
  static File CreateAlways(const std::string& path);

  bool IsOpen() const { return handle_ != kClosed; }

  // Reads until `size` bytes are in or the file ends; `got` says how many came.
  // False on a failed read (the bytes read before it are in `got`).
  bool Read(void* buffer, size_t size, size_t& got);
  // Writes all `size` bytes, or returns false.
  bool Write(const void* data, size_t size);
  bool Seek(uint64_t position);
  std::optional<uint64_t> Size();
  std::optional<FileIdentity> Identity();
  // Closes the file; false when the system reports that the close failed
  // (for a written file, data may then be lost).
  bool Close();

  // The system's error code of the last failed call on this file (or of the failed open).
  int LastError() const { return lastError_; }

 private:
  static constexpr intptr_t kClosed = -1;
  friend std::optional<FileIdentity> IdentifyPath(const std::string& path);
  explicit File(intptr_t handle, int error) : handle_(handle), lastError_(error) {}
  void Fail();  // records the system's current error code

  intptr_t handle_ = kClosed;
  int lastError_ = 0;
};

// Writes the `length` bytes of `from` that begin at `position` to `to`, at its current
// position, through `scratch` in reads and writes of its size (not 0). A source that ends
// before `position + length` is a read failure; the bytes read before a failure are written.
// `from`'s position is left undefined.
CopyStatus CopyFileRange(File& from, uint64_t position, uint64_t length, File& to,
                         std::vector<unsigned char>& scratch);

// Deletes the file at `path` (one the program made for itself); false when it cannot.
bool RemoveFile(const std::string& path);

// The identity of the file at `path`, or nothing when there is no such file.
std::optional<FileIdentity> IdentifyPath(const std::string& path);
// Whether creating a file at `path` would replace the file at `other`, whose identity is
// `otherIdentity` (nothing when it could not be identified). A path that cannot be identified
// (no such file, or a failed look) is still the other's by its spelling.
bool WouldReplace(const std::string& path, const std::string& other,
                  const std::optional<FileIdentity>& otherIdentity);

// The names of the files in `folder` (a path ending in a separator, or empty for the current
// folder), in no particular order, without "." and ".."; nothing when it cannot be read.
std::optional<std::vector<std::string>> ListFolder(const std::string& folder);

// The system's wording for an error code of File::LastError().
std::string SystemErrorText(int code);
// Why a read of `file` did not deliver what was needed: the system's error, or, when the
// system reported none, that the file ended sooner than it said.
std::string ReadFailureText(const File& file);

// The longest path the program writes or accepts (MAX_PATH less the terminator).
constexpr size_t kMaxPathChars = 259;

// The character that ends a folder in a path on this system ('\\' on Windows, '/' elsewhere);
// on Windows a '/' also separates folders.
bool IsPathSeparator(char c);
extern const char kPathSeparator;

}  // namespace partwell
