// The chapter reader's order and its refusals, on tags written byte by byte: a table's order
// wins only when it is top-level and ordered, tables inside tables are followed (a cycle
// ends), chapters no table lists come after by start time, frames cut short are dropped, and
// sub-frames are read with their tag version's sizes. (Real writers and readers:
// tests/chapters_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tags/chapters.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;
using test::Concat;
using test::Id3v2FrameBytes;
using test::Id3v2TagBytes;
using test::TextBytes;

Bytes Id(const std::string& id) { return Concat({TextBytes(id), {0}}); }

Bytes Number(uint32_t value) {
  return {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
          static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

Bytes Chap(int version, const std::string& id, uint32_t startMs, const std::string& title) {
  Bytes sub =
      title.empty() ? Bytes{} : Id3v2FrameBytes(version, "TIT2", Concat({{0}, TextBytes(title)}));
  return Id3v2FrameBytes(version, "CHAP",
                         Concat({Id(id), Number(startMs), Number(startMs + 500),
                                 Number(kNoChapterOffset), Number(kNoChapterOffset), sub}));
}

Bytes Ctoc(int version, const std::string& id, unsigned char flags,
           const std::vector<std::string>& children, size_t count) {
  Bytes content = Concat({Id(id), {flags, static_cast<unsigned char>(count)}});
  for (const std::string& child : children) content = Concat({content, Id(child)});
  return Id3v2FrameBytes(version, "CTOC", content);
}

std::string Order(const Bytes& tagBytes) {
  std::string_view view(reinterpret_cast<const char*>(tagBytes.data()), tagBytes.size());
  ChapterList list = ReadChapters(ParseId3v2Tag(view));
  std::string order;
  for (const Chapter& chapter : list.chapters) {
    order += (order.empty() ? "" : " ") + chapter.id;
    if (!chapter.title.empty()) order += "=" + chapter.title;
  }
  return order + " | tables " + std::to_string(list.tables.size());
}

TEST(Chapters, PlayOrderAndRefusals) {
  const std::string longTitle(200, 't');  // a v2.4 sub-frame size with a syncsafe carry
  struct Case {
    const char* name;
    int version;
    std::vector<Bytes> frames;
    std::string order;
  };
  const Case cases[] = {
      {"no table: by start time",
       3,
       {Chap(3, "b", 2000, "Two"), Chap(3, "a", 0, "One")},
       "a=One b=Two | tables 0"},
      {"top-level ordered table",
       4,
       {Ctoc(4, "toc", 3, {"a", "b"}, 2), Chap(4, "b", 0, ""), Chap(4, "a", 900, "")},
       "a b | tables 1"},
      {"ordered but not top-level",
       3,
       {Ctoc(3, "toc", 1, {"a", "b"}, 2), Chap(3, "b", 0, ""), Chap(3, "a", 900, "")},
       "b a | tables 1"},
      {"nested tables, a cycle, a chapter no table lists",
       4,
       {Ctoc(4, "top", 3, {"sub", "c3", "gone"}, 3), Ctoc(4, "sub", 1, {"top", "c2", "c1"}, 3),
        Chap(4, "c0", 50, ""), Chap(4, "c1", 100, ""), Chap(4, "c2", 200, ""),
        Chap(4, "c3", 300, "")},
       "c2 c1 c3 c0 | tables 2"},
      {"cut short: a CHAP without its times, a CTOC without its ids",
       3,
       {Id3v2FrameBytes(3, "CHAP", Concat({Id("x"), Number(1)})), Ctoc(3, "toc", 3, {"a"}, 4),
        Chap(3, "a", 0, "A")},
       "a=A | tables 0"},
      {"v2.4 sub-frame sizes", 4, {Chap(4, "a", 0, longTitle)}, "a=" + longTitle + " | tables 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes body;
    for (const Bytes& frame : c.frames) body = Concat({body, frame});
    EXPECT_EQ(Order(Id3v2TagBytes(c.version, 0, body)), c.order);
  }
}

}  // namespace
}  // namespace partwell
