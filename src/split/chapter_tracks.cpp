#include "split/chapter_tracks.h"

#include <algorithm>
#include <optional>

#include "io/file.h"
#include "split/track_time.h"

namespace partwell {

std::vector<TrackEntry> ChapterTrackEntries(const ChapterList& chapters) {
  std::vector<TrackEntry> entries;
  for (const Chapter& chapter : chapters.chapters) {
    TrackEntry entry;
    SetTrackText(entry.title, chapter.title);
    entry.offset = static_cast<int32_t>((int64_t{chapter.startMs} + 5) / 10);
    // A chapter that starts within the first hundredth starts the first track at 0, so that no
    // sample is left before the first track.
    entry.chapterMs = entry.offset == 0 ? 0 : chapter.startMs;
    SetTimeText(entry, FormatTimeText(TimePartsOfOffset(entry.offset)));
    entries.push_back(entry);
  }
  std::stable_sort(entries.begin(), entries.end(), [](const TrackEntry& a, const TrackEntry& b) {
    return a.chapterMs < b.chapterMs;
  });
  return entries;
}

std::vector<ChapterMark> ChapterMarksOfEntries(const std::vector<TrackEntry>& entries,
                                               uint32_t playedMs) {
  std::vector<ChapterMark> marks;
  for (const TrackEntry& entry : entries) {
    int64_t start = entry.chapterMs >= 0   ? entry.chapterMs
                    : entry.cueFrames >= 0 ? (int64_t{entry.cueFrames} * 1000 + 37) / 75
                                           : int64_t{entry.offset} * 10;
    const uint32_t startMs = static_cast<uint32_t>(start);
    if (!marks.empty()) marks.back().endMs = startMs;
    marks.push_back({entry.title, startMs, std::max(startMs, playedMs)});
  }
  return marks;
}

ChapterTracksResult ReadChapterTracks(const std::string& sourcePath) {
  ChapterTracksResult result;
  File file = File::OpenForReading(sourcePath);
  if (!file.IsOpen()) {
    result.refusal = SystemErrorText(file.LastError());
    return result;
  }
  std::optional<SourceTags> tags = ReadSourceTags(file);
  if (!tags) {
    result.refusal = ReadFailureText(file);
    return result;
  }
  result.entries = ChapterTrackEntries(ReadChapters(tags->id3v2));
  if (result.entries.empty()) result.refusal = "its ID3v2 tag holds no chapters";
  return result;
}

}  // namespace partwell
