#include "tags/chapter_copy.h"

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/stream_scan.h"
#include "tags/id3v2_reader.h"

namespace partwell {
namespace {

std::string Concerning(const std::string& path, const std::string& reason) {
  return path + ": " + reason;
}

}  // namespace

std::optional<uint32_t> PlayedMilliseconds(const std::string& path) {
  File file = File::OpenForReading(path);
  StreamScan scan;
  if (!file.IsOpen() || ScanStream(file, scan) != StreamScanOutcome::kScanned) return std::nullopt;
  const uint64_t rate = static_cast<uint64_t>(SampleRate(scan.first.header));
  return static_cast<uint32_t>((scan.timeline.length * 1000 + rate / 2) / rate);
}

std::string WriteCopyWithChapters(const std::string& source, const std::string& destination,
                                  const std::vector<ChapterMark>& marks) {
  const std::optional<FileIdentity> existing = IdentifyPath(destination);
  if (source == destination || (existing && IdentifyPath(source) == existing)) {
    return Concerning(destination, "is the file itself, which is never replaced");
  }
  File in = File::OpenForReading(source);
  if (!in.IsOpen()) return Concerning(source, SystemErrorText(in.LastError()));
  std::optional<SourceTags> tags = ReadSourceTags(in);
  std::optional<uint64_t> size = in.Size();
  if (!tags || !size) return Concerning(source, ReadFailureText(in));
  const std::vector<unsigned char> tag = BuildTagWithChapters(tags->id3v2, marks);

  File out = File::CreateAlways(destination);
  if (!out.IsOpen()) return Concerning(destination, SystemErrorText(out.LastError()));
  if (!out.Write(tag.data(), tag.size())) {
    return Concerning(destination, SystemErrorText(out.LastError()));
  }
  BufferedSource reader(in, *size, kSourceBufferBytes);
  switch (reader.CopyTo(out, tags->id3v2Bytes, *size)) {
    case CopyStatus::kDone:
      break;
    case CopyStatus::kReadFailed:
      return Concerning(source, ReadFailureText(in));
    case CopyStatus::kWriteFailed:
      return Concerning(destination, SystemErrorText(out.LastError()));
  }
  if (!out.Close()) return Concerning(destination, SystemErrorText(out.LastError()));
  return {};
}

}  // namespace partwell
