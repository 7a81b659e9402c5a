#include "mpeg/source_file.h"

#include "mpeg/source_probe.h"

namespace partwell {

std::optional<SourceLayout> ReadSourceLayout(File& file) {
  SourceLayout layout;
  std::optional<uint64_t> tagsEnd = SkipLeadingId3v2Tags(file);
  if (!tagsEnd) return std::nullopt;
  std::optional<uint64_t> endOfAudio = ReadTrailer(file, layout.trailer);
  if (!endOfAudio) return std::nullopt;
  layout.tagsEnd = *tagsEnd;
  layout.endOfAudio = *endOfAudio;
  return layout;
}

SourceFile::Opened SourceFile::Open(const std::string& path) {
  file_ = File::OpenForReading(path);
  if (!file_.IsOpen()) return Opened::kCannotOpen;
  std::optional<SourceLayout> layout = ReadSourceLayout(file_);
  if (!layout) return Opened::kReadFailed;
  layout_ = *layout;
  // Without it, nothing would keep a track from replacing the source.
  identity_ = file_.Identity();
  if (!identity_) return Opened::kReadFailed;
  reader_.emplace(file_, layout_.endOfAudio, kSourceBufferBytes);
  return Opened::kOpened;
}

std::string SourceFile::FailureText(Opened opened) const {
  return opened == Opened::kCannotOpen ? SystemErrorText(file_.LastError())
                                       : ReadFailureText(file_);
}

}  // namespace partwell
