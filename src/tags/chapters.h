// Chapters in an ID3v2 tag: CHAP frames (a part of the audio by its start and end in
// milliseconds, with sub-frames such as its title) and CTOC frames (tables that list chapters,
// or other tables, by their element ids). Read from ID3v2.3 and 2.4 tags; written in 2.3.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/id3v2_reader.h"

namespace partwell {

// A CHAP byte offset that is not given.
constexpr uint32_t kNoChapterOffset = 0xFFFFFFFF;
// A CTOC counts its entries in one byte: a table of our own lists at most this many chapters.
constexpr size_t kMaxWrittenChapters = 255;

struct Chapter {
  std::string id;  // the element id
  uint32_t startMs = 0;
  uint32_t endMs = 0;
  uint32_t startOffset = kNoChapterOffset;  // bytes from the start of the file, when given
  uint32_t endOffset = kNoChapterOffset;
  std::string title;                  // of its TIT2 sub-frame, UTF-8; empty when it has none
  std::vector<Id3v2Frame> subFrames;  // all of them, TIT2 included
};

struct ChapterTable {
  std::string id;
  bool topLevel = false;
  bool ordered = false;
  std::vector<std::string> children;  // element ids of chapters and tables
  std::string title;
};

struct ChapterList {
  // In play order: the order of the first top-level ordered table (through the tables it lists),
  // then the chapters it does not list by start time; without such a table, by start time.
  std::vector<Chapter> chapters;
  std::vector<ChapterTable> tables;  // in the tag's order
};

// The chapters and tables of `tag`; frames too short for their fixed fields are left out.
ChapterList ReadChapters(const Id3v2Tag& tag);

// A chapter to write: its title (none when empty) and its part of the audio.
struct ChapterMark {
  std::string title;
  uint32_t startMs = 0;
  uint32_t endMs = 0;
};

// The frames for `marks` (at most kMaxWrittenChapters), in order: a top-level ordered CTOC
// "toc" listing them, then a CHAP "chpN" (N from 1) for each, with a TIT2 when it has a title.
std::vector<Id3v2Frame> MakeChapterFrames(const std::vector<ChapterMark>& marks);

// An ID3v2.3 tag with the frames of `tag` (its own chapters and tables left out) and the
// chapters of `marks`.
std::vector<unsigned char> BuildTagWithChapters(const Id3v2Tag& tag,
                                                const std::vector<ChapterMark>& marks);

}  // namespace partwell
