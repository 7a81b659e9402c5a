#include "tags/chapters.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "mpeg/id3v2_header.h"
#include "tags/id3v2_text.h"
#include "tags/track_tag.h"

namespace partwell {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr unsigned char kTableTopLevel = 0x02;
constexpr unsigned char kTableOrdered = 0x01;
// Tables inside tables deeper than this are not followed.
constexpr int kMaxTableDepth = 16;

// Reads a frame's fields from the front, refusing to run past its end.
class FieldReader {
 public:
  explicit FieldReader(const Bytes& content) : rest_(ByteView(content)) {}

  bool Terminated(std::string& text) {
    size_t end = rest_.find('\0');
    if (end == std::string_view::npos) return false;
    text = DecodeString(kLatin1, rest_.substr(0, end));
    rest_.remove_prefix(end + 1);
    return true;
  }
  bool Number(uint32_t& value, size_t bytes) {
    if (rest_.size() < bytes) return false;
    value = 0;
    for (size_t i = 0; i < bytes; ++i) value = value << 8 | static_cast<unsigned char>(rest_[i]);
    rest_.remove_prefix(bytes);
    return true;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

std::string TitleOf(const std::vector<Id3v2Frame>& subFrames) {
  Id3v2Tag holder;
  holder.frames = subFrames;
  return FrameText(holder, "TIT2");
}

bool ReadChapter(int version, const Id3v2Frame& frame, Chapter& chapter) {
  FieldReader reader(frame.content);
  if (!reader.Terminated(chapter.id) || !reader.Number(chapter.startMs, 4) ||
      !reader.Number(chapter.endMs, 4) || !reader.Number(chapter.startOffset, 4) ||
      !reader.Number(chapter.endOffset, 4)) {
    return false;
  }
  chapter.subFrames = ParseId3v2Frames(version, reader.rest());
  chapter.title = TitleOf(chapter.subFrames);
  return true;
}

bool ReadTable(int version, const Id3v2Frame& frame, ChapterTable& table) {
  FieldReader reader(frame.content);
  uint32_t flags = 0;
  uint32_t count = 0;
  if (!reader.Terminated(table.id) || !reader.Number(flags, 1) || !reader.Number(count, 1)) {
    return false;
  }
  table.topLevel = flags & kTableTopLevel;
  table.ordered = flags & kTableOrdered;
  for (uint32_t i = 0; i < count; ++i) {
    std::string child;
    if (!reader.Terminated(child)) return false;
    table.children.push_back(child);
  }
  table.title = TitleOf(ParseId3v2Frames(version, reader.rest()));
  return true;
}

// Appends to `order` the chapters `table` lists, in its order, going into the tables it lists.
void ListTable(const ChapterList& list, const ChapterTable& table, int depth,
               std::set<std::string>& seen, std::vector<const Chapter*>& order) {
  if (depth > kMaxTableDepth) return;
  for (const std::string& child : table.children) {
    if (!seen.insert(child).second) continue;
    auto chapter = std::find_if(list.chapters.begin(), list.chapters.end(),
                                [&](const Chapter& c) { return c.id == child; });
    if (chapter != list.chapters.end()) {
      order.push_back(&*chapter);
      continue;
    }
    auto inner = std::find_if(list.tables.begin(), list.tables.end(),
                              [&](const ChapterTable& t) { return t.id == child; });
    if (inner != list.tables.end()) ListTable(list, *inner, depth + 1, seen, order);
  }
}

void PutInPlayOrder(ChapterList& list) {
  std::stable_sort(list.chapters.begin(), list.chapters.end(),
                   [](const Chapter& a, const Chapter& b) { return a.startMs < b.startMs; });
  auto top = std::find_if(list.tables.begin(), list.tables.end(),
                          [](const ChapterTable& t) { return t.topLevel && t.ordered; });
  if (top == list.tables.end()) return;
  std::set<std::string> seen{top->id};
  std::vector<const Chapter*> order;
  ListTable(list, *top, 0, seen, order);
  std::vector<Chapter> ordered;
  for (const Chapter* chapter : order) ordered.push_back(*chapter);
  for (const Chapter& chapter : list.chapters) {
    if (!seen.count(chapter.id)) ordered.push_back(chapter);
  }
  list.chapters = std::move(ordered);
}

void AppendNumber(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<unsigned char>(value >> shift));
  }
}

void AppendId(Bytes& out, const std::string& id) {
  out.insert(out.end(), id.begin(), id.end());
  out.push_back(0);
}

// A sub-frame in v2.3 form: its header, then its content.
void AppendSubFrame(Bytes& out, const Id3v2Frame& frame) {
  std::vector<unsigned char> tag = BuildV23Tag({frame});
  out.insert(out.end(), tag.begin() + kId3v2HeaderBytes, tag.end());
}

std::string ChapterId(size_t index) { return "chp" + std::to_string(index + 1); }

}  // namespace

ChapterList ReadChapters(const Id3v2Tag& tag) {
  ChapterList list;
  if (tag.version != 3 && tag.version != 4) return list;
  for (const Id3v2Frame& frame : tag.frames) {
    if (frame.sealed()) continue;
    if (frame.id == "CHAP") {
      Chapter chapter;
      if (ReadChapter(tag.version, frame, chapter)) list.chapters.push_back(std::move(chapter));
    } else if (frame.id == "CTOC") {
      ChapterTable table;
      if (ReadTable(tag.version, frame, table)) list.tables.push_back(std::move(table));
    }
  }
  PutInPlayOrder(list);
  return list;
}

std::vector<Id3v2Frame> MakeChapterFrames(const std::vector<ChapterMark>& marks) {
  Id3v2Frame table;
  table.id = "CTOC";
  AppendId(table.content, "toc");
  table.content.push_back(kTableTopLevel | kTableOrdered);
  const size_t count = std::min(marks.size(), kMaxWrittenChapters);
  table.content.push_back(static_cast<unsigned char>(count));
  std::vector<Id3v2Frame> frames;
  for (size_t i = 0; i < count; ++i) {
    AppendId(table.content, ChapterId(i));
    Id3v2Frame chapter;
    chapter.id = "CHAP";
    AppendId(chapter.content, ChapterId(i));
    AppendNumber(chapter.content, marks[i].startMs);
    AppendNumber(chapter.content, marks[i].endMs);
    AppendNumber(chapter.content, kNoChapterOffset);
    AppendNumber(chapter.content, kNoChapterOffset);
    if (!marks[i].title.empty()) {
      AppendSubFrame(chapter.content, MakeTextFrame("TIT2", marks[i].title));
    }
    frames.push_back(std::move(chapter));
  }
  frames.insert(frames.begin(), std::move(table));
  return frames;
}

std::vector<unsigned char> BuildTagWithChapters(const Id3v2Tag& tag,
                                                const std::vector<ChapterMark>& marks) {
  std::vector<Id3v2Frame> frames;
  for (const Id3v2Frame& frame : tag.frames) {
    if (frame.id != "CHAP" && frame.id != "CTOC") frames.push_back(frame);
  }
  std::vector<Id3v2Frame> chapters = MakeChapterFrames(marks);
  frames.insert(frames.end(), chapters.begin(), chapters.end());
  return BuildV23Tag(frames);
}

}  // namespace partwell
