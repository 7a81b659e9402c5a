// The chapters of a join: one per source, on the joined file's gapless timeline. A player of
// the joined file trims only what its first source's header says (that source's encoder
// delay and the decoder's own); every later source's delay and padding play. So the first
// sample of source k plays at
//   (the raw samples joined before it) + rawStart(k) - leftOut(k) - rawStart(first source),
// rawStart being where a player of that source alone starts (see SourceTimeline), leftOut
// the samples of its first frames that the join leaves out (track_junction.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/chapters.h"
#include "tags/id3v2_reader.h"

namespace partwell {

// What the timeline needs of one source.
struct ChapterSource {
  std::string title;        // its TIT2, else its file name without its extension
  bool hasAudio = false;    // sources without MPEG audio get no chapter
  uint64_t rawSamples = 0;  // of its audio frames, decoded whole
  uint64_t rawStart = 0;    // where a player of it alone starts
  uint64_t length = 0;      // the samples a player of it alone plays
  uint64_t leftOut = 0;     // raw samples of its first frames that the join leaves out
  int rate = 0;             // samples a second
};

// One chapter per source with audio: it starts where that source's first sample plays and
// ends where the next chapter starts (the last where its source's last sample plays).
std::vector<ChapterMark> JoinChapterMarks(const std::vector<ChapterSource>& sources);

// The leading tag of a joined file with chapters: the first source's ID3v2 tag (in v2.3
// form) with one chapter per source, and the bytes of the first source's own tag it takes the
// place of.
struct JoinChapterTag {
  std::vector<unsigned char> tag;
  uint64_t replacedBytes = 0;
  std::string failedPath;  // a source that could not be read, and why; empty when made
  std::string failureReason;
  std::vector<ChapterSource> sources;  // what the tag was made of
  Id3v2Tag firstTag;
};

// Reads every source's tags and frames and makes the tag; at most kMaxWrittenChapters sources.
JoinChapterTag MakeJoinChapterTag(const std::vector<std::string>& sources);

// The tag made anew from its sources, as they stand now (of the same size: only the times
// of its chapters change with them).
std::vector<unsigned char> JoinChapterTagBytes(const JoinChapterTag& tag);

// The file name of `path` without its folder and its last extension.
std::string FileTitle(const std::string& path);

}  // namespace partwell
