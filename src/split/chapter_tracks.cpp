#include "split/chapter_tracks.h"

#include <algorithm>
#include <optional>

#include "io/file.h"
#include "split/cue_sheet.h"
#include "split/track_time_list.h"
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

std::string ReadChapterTracks(const std::string& sourcePath, TrackTimeList& times) {
  File file = File::OpenForReading(sourcePath);
  if (!file.IsOpen()) return SystemErrorText(file.LastError());
  std::optional<SourceTags> tags = ReadSourceTags(file);
  if (!tags) return ReadFailureText(file);
  std::vector<TrackEntry> entries = ChapterTrackEntries(ReadChapters(tags->id3v2));
  if (entries.empty()) return "its ID3v2 tag holds no chapters";
  // A list of their own first: `times` is replaced only by a complete one.
  TrackTimeList taken;
  if (!ReplaceTrackTimes(entries, taken)) {
    return "two chapters start within one hundredth of a second";
  }
  times = std::move(taken);
  return {};
}

}  // namespace partwell
