// A source of a split, a join or a stream scan as the engines read it: the ID3v2 tags it may
// begin with, its audio, and the ID3v1 trailer it may end with, which no read of its audio
// reaches (a split never reads a trailer as audio, a join never copies one).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/id3v1_trailer.h"

namespace partwell {

struct SourceLayout {
  uint64_t tagsEnd = 0;     // after the ID3v2 tags in a row at its start
  uint64_t endOfAudio = 0;  // where its trailer begins, or its size
  Trailer trailer;
  // Where its audio may begin: after its tags, or at its end of audio when they run past it.
  uint64_t audioStart() const { return std::min(tagsEnd, endOfAudio); }
};

// The layout of the open `file`; nothing when its size cannot be read or a read fails. The
// file's position is left undefined.
std::optional<SourceLayout> ReadSourceLayout(File& file);

// A source open for reading, with its layout, its identity and a buffer over its audio.
class SourceFile {
 public:
  enum class Opened { kOpened, kCannotOpen, kReadFailed };

  SourceFile() = default;
  SourceFile(const SourceFile&) = delete;  // the buffer reads through file_
  SourceFile& operator=(const SourceFile&) = delete;

  Opened Open(const std::string& path);
  // The system's words for why Open gave `opened`.
  std::string FailureText(Opened opened) const;

  File& file() { return file_; }
  const File& file() const { return file_; }
  const SourceLayout& layout() const { return layout_; }
  const std::optional<FileIdentity>& identity() const { return identity_; }
  BufferedSource& reader() { return *reader_; }
  const BufferedSource& reader() const { return *reader_; }

 private:
  File file_;
  SourceLayout layout_;
  std::optional<FileIdentity> identity_;
  std::optional<BufferedSource> reader_;
};

}  // namespace partwell
