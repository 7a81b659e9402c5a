// One source of a join, open for reading, and what the join needs to know of it before it
// copies it: where its leading ID3v2 tags end, where its audio ends (its ID3v1 trailer is never
// copied), its first MPEG frame and the Xing, Info or VBRI header that frame may hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/frame_scanner.h"
#include "mpeg/info_header.h"
#include "mpeg/source_file.h"

namespace partwell {

class JoinSource {
 public:
  using Opened = SourceFile::Opened;

  // Opens the file at `path` and reads its layout; FailureText says why it gave kCannotOpen
  // or kReadFailed.
  Opened Open(const std::string& path);
  std::string FailureText(Opened opened) const { return source_.FailureText(opened); }

  File& file() { return source_.file(); }
  BufferedSource& reader() { return source_.reader(); }

  uint64_t tagsEnd() const { return tagsEnd_; }
  uint64_t endOfAudio() const { return source_.layout().endOfAudio; }
  // The first frame, confirmed by the frame header that follows it; nothing when the source
  // holds no MPEG audio.
  const std::optional<MpegFrame>& firstFrame() const { return firstFrame_; }
  // The header the first frame holds instead of audio, and that frame's bytes.
  const std::optional<VbrHeader>& vbrHeader() const { return vbrHeader_; }
  const std::vector<unsigned char>& headerFrame() const { return headerFrame_; }
  // Where its audio frames begin: after a header frame, else at the first frame.
  uint64_t audioStart() const;
  // The encoder delay and padding of its header's LAME tag, when decoders trust it.
  std::optional<DelayPadding> trustedDelayPadding() const;

 private:
  SourceFile source_;
  uint64_t tagsEnd_ = 0;
  std::optional<MpegFrame> firstFrame_;
  std::optional<VbrHeader> vbrHeader_;
  std::vector<unsigned char> headerFrame_;
};

}  // namespace partwell
