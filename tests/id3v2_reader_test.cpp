// The ID3v2 reader on hostile and broken tags, read from memory and from a file: it keeps the
// frames that lie wholly inside the tag and nothing from the bytes after it. (Real readers
// check the frames it keeps: tests/track_tag_peer_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tags/id3v2_reader.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;
using test::Concat;
using test::Id3v2FrameBytes;
using test::Id3v2TagBytes;
using test::TextBytes;

// What follows every tag in these files: lower-case, so it never reads as a frame id.
const std::string kOutside = "outside the tag, outside the tag, outside the tag";

Bytes Text(const std::string& text) { return Concat({{0}, TextBytes(text)}); }

Bytes WithBytesAt(Bytes bytes, size_t at, const Bytes& replacement) {
  std::copy(replacement.begin(), replacement.end(),
            bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return bytes;
}

std::vector<std::string> Ids(const Id3v2Tag& tag) {
  std::vector<std::string> ids;
  for (const Id3v2Frame& frame : tag.frames) ids.push_back(frame.id);
  return ids;
}

bool HoldsOutsideBytes(const Id3v2Tag& tag) {
  for (const Id3v2Frame& frame : tag.frames) {
    std::string content(frame.content.begin(), frame.content.end());
    if (content.find("outside") != std::string::npos) return true;
  }
  return false;
}

TEST(Id3v2Reader, KeepsOnlyWholeFramesFromInsideTheTag) {
  const Bytes title = Id3v2FrameBytes(3, "TIT2", Text("Kept"));
  struct Case {
    const char* name;
    Bytes tag;
    int version;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"a size past the end of the file",
       WithBytesAt(Id3v2TagBytes(3, 0, title), 6, {0, 0, 0x7F, 0x7F}),
       3,
       {"TIT2"}},
      {"a 256 MB tag claimed",
       WithBytesAt(Id3v2TagBytes(3, 0, title), 6, {0x7F, 0x7F, 0x7F, 0x7F}),
       0,
       {}},
      {"a size that is not syncsafe", WithBytesAt(Id3v2TagBytes(3, 0, title), 9, {0x80}), 0, {}},
      {"version 5", WithBytesAt(Id3v2TagBytes(3, 0, title), 3, {5}), 0, {}},
      {"a frame that runs past the tag into the bytes after it",
       Id3v2TagBytes(3, 0,
                     Concat({title, WithBytesAt(Id3v2FrameBytes(3, "TALB", Text("four")), 4,
                                                {0, 0, 0, 40})})),
       3,
       {"TIT2"}},
      {"a frame of 4 GB",
       Id3v2TagBytes(3, 0,
                     Concat({title, WithBytesAt(Id3v2FrameBytes(3, "TALB", Text("x")), 4,
                                                {0xFF, 0xFF, 0xFF, 0xFF})})),
       3,
       {"TIT2"}},
      {"a 0-byte frame before a good one",
       Id3v2TagBytes(
           4, 0,
           Concat({Id3v2FrameBytes(4, "TALB", {}), Id3v2FrameBytes(4, "TPE1", Text("Band"))})),
       4,
       {"TPE1"}},
      {"padding, then bytes that look like a frame",
       Id3v2TagBytes(3, 0, Concat({title, Bytes(20, 0), Id3v2FrameBytes(3, "TPE1", Text("x"))})),
       3,
       {"TIT2"}},
      {"an extended header larger than the tag",
       Id3v2TagBytes(3, 0x40, Concat({{0, 0x7F, 0x7F, 0x7F, 0, 0}, title})),
       3,
       {}},
      {"a v2.4 extended header of 2 bytes",
       Id3v2TagBytes(4, 0x40, Concat({{0, 0, 0, 2}, Id3v2FrameBytes(4, "TIT2", Text("x"))})),
       4,
       {}},
      {"unsynchronisation with 0xFF as the tag's last byte",
       Id3v2TagBytes(3, 0x80, test::Unsynchronised(Id3v2FrameBytes(3, "TIT2", Text("\xFF")))),
       3,
       {"TIT2"}},
      {"a data length indicator with no room for it",
       Id3v2TagBytes(4, 0,
                     Concat({Id3v2FrameBytes(4, "TIT2", {0, 0}, 0x0001),
                             Id3v2FrameBytes(4, "TPE1", Text("x"))})),
       4,
       {"TPE1"}},
      {"v2.4 frames v2.3 cannot carry: compressed, encrypted, RVA2, SIGN, a bad date",
       Id3v2TagBytes(
           4, 0,
           Concat({Id3v2FrameBytes(4, "TIT2", Text("zip"), 0x0009),
                   Id3v2FrameBytes(4, "TALB", Text("secret"), 0x0004),
                   Id3v2FrameBytes(4, "RVA2", Text("x")), Id3v2FrameBytes(4, "SIGN", Text("x")),
                   Id3v2FrameBytes(4, "TDRC", Text("May")), Id3v2FrameBytes(4, "TYER", {7, 'x'})})),
       4,
       {}},
      {"frames that ask to be dropped when the audio changes",
       Id3v2TagBytes(3, 0, Id3v2FrameBytes(3, "TIT2", Text("x"), 0x4000)),
       3,
       {}},
      {"v2.2 frames without a v2.3 id",
       Id3v2TagBytes(
           2, 0,
           Concat({Id3v2FrameBytes(2, "CRM", Text("x")), Id3v2FrameBytes(2, "LNK", Text("x")),
                   Id3v2FrameBytes(2, "TT2", Text("x")),
                   Id3v2FrameBytes(2, "PIC", {0, 'P', 'N'})})),
       2,
       {"TIT2"}},
      {"a compressed v2.2 tag",
       Id3v2TagBytes(2, 0x40, Id3v2FrameBytes(2, "TT2", Text("x"))),
       2,
       {}},
  };
  test::TempDir folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = Concat({c.tag, TextBytes(kOutside)});
    Id3v2Tag tag = ParseId3v2Tag(std::string(file.begin(), file.end()));
    EXPECT_EQ(tag.version, c.version);
    EXPECT_EQ(Ids(tag), c.ids);
    EXPECT_FALSE(HoldsOutsideBytes(tag));

    test::WriteBytes(folder.File("source.mp3"), file);
    File source = File::OpenForReading(folder.File("source.mp3"));
    std::optional<SourceTags> read = ReadSourceTags(source);
    ASSERT_TRUE(read);
    EXPECT_EQ(Ids(read->id3v2), c.ids);
    EXPECT_FALSE(read->trailer.present());
  }
}

}  // namespace
}  // namespace partwell
