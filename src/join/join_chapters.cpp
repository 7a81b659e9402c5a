#include "join/join_chapters.h"

#include <optional>

#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/stream_scan.h"
#include "tags/id3v2_reader.h"

namespace partwell {
namespace {

uint32_t Milliseconds(int64_t samples, int rate) {
  if (samples <= 0 || rate <= 0) return 0;
  return static_cast<uint32_t>((samples * 1000 + rate / 2) / rate);
}

// Reads what the timeline needs of the source at `path`, and its tag; false when it cannot
// be opened or read, with the reason.
bool ReadChapterSource(const std::string& path, ChapterSource& source, Id3v2Tag& tag,
                       uint64_t& tagBytes, std::string& reason) {
  File file = File::OpenForReading(path);
  if (!file.IsOpen()) {
    reason = SystemErrorText(file.LastError());
    return false;
  }
  std::optional<SourceTags> tags = ReadSourceTags(file);
  StreamScan scan;
  StreamScanOutcome scanned = tags ? ScanStream(file, scan) : StreamScanOutcome::kReadFailed;
  if (scanned == StreamScanOutcome::kReadFailed) {
    reason = ReadFailureText(file);
    return false;
  }
  tag = tags->id3v2;
  source.title = FrameText(tag, "TIT2");
  if (source.title.empty()) source.title = FileTitle(path);
  tagBytes = tags->id3v2Bytes;
  if (scanned != StreamScanOutcome::kScanned) return true;
  source.hasAudio = true;
  source.rate = SampleRate(scan.first.header);
  source.rawSamples = scan.audioFrames * static_cast<uint64_t>(SamplesPerFrame(scan.first.header));
  source.rawStart = scan.timeline.rawStart;
  source.length = scan.timeline.length;
  return true;
}

}  // namespace

std::string FileTitle(const std::string& path) {
  size_t start = path.size();
  while (start > 0 && !IsPathSeparator(path[start - 1])) --start;
  std::string name = path.substr(start);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::vector<ChapterMark> JoinChapterMarks(const std::vector<ChapterSource>& sources) {
  std::vector<ChapterMark> marks;
  const ChapterSource* first = nullptr;
  uint64_t before = 0;  // raw samples of the joined stream before the source
  for (const ChapterSource& source : sources) {
    if (!source.hasAudio) continue;
    if (!first) first = &source;
    // The rate of the first source counts for all: players take the stream as one.
    const int64_t start = static_cast<int64_t>(before + source.rawStart) -
                          static_cast<int64_t>(source.leftOut + first->rawStart);
    if (!marks.empty()) marks.back().endMs = Milliseconds(start, first->rate);
    marks.push_back({source.title, Milliseconds(start, first->rate),
                     Milliseconds(start + static_cast<int64_t>(source.length), first->rate)});
    before += source.rawSamples - source.leftOut;
  }
  return marks;
}

JoinChapterTag MakeJoinChapterTag(const std::vector<std::string>& sources) {
  JoinChapterTag result;
  if (sources.size() > kMaxWrittenChapters) {
    result.failedPath = sources[kMaxWrittenChapters];
    result.failureReason = "a join writes at most 255 chapters";
    return result;
  }
  std::vector<ChapterSource>& timeline = result.sources;
  timeline.resize(sources.size());
  for (size_t i = 0; i < sources.size(); ++i) {
    Id3v2Tag tag;
    uint64_t tagBytes = 0;
    if (!ReadChapterSource(sources[i], timeline[i], tag, tagBytes, result.failureReason)) {
      result.failedPath = sources[i];
      return result;
    }
    if (i == 0) {
      result.firstTag = std::move(tag);
      result.replacedBytes = tagBytes;
    }
  }
  result.tag = JoinChapterTagBytes(result);
  return result;
}

std::vector<unsigned char> JoinChapterTagBytes(const JoinChapterTag& tag) {
  return BuildTagWithChapters(tag.firstTag, JoinChapterMarks(tag.sources));
}

}  // namespace partwell
