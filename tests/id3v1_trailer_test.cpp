#include <gtest/gtest.h>

#include "mpeg/id3v1_trailer.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;

TEST(Id3v1Trailer, PresenceAndEndOfAudio) {
  Bytes lower = test::Id3v1Trailer();
  lower[0] = 't';
  Bytes late = test::Concat({Bytes(1, 0), test::Id3v1Trailer()});
  late.pop_back();  // "TAG" now begins at size - 127
  struct Case {
    const char* name;
    Bytes file;
    bool trailer;
    uint64_t endOfAudio;
  };
  const Case cases[] = {
      {"audio and trailer", test::Concat({Bytes(1000, 1), test::Id3v1Trailer()}), true, 1000},
      {"all trailer", test::Id3v1Trailer(), true, 0},
      {"lower-case tag", test::Concat({Bytes(10, 1), lower}), false, 138},
      {"TAG one byte late", late, false, 128},
      {"127 bytes", Bytes(127, 'T'), false, 127},
      {"TAG elsewhere", test::Concat({test::Id3v1Trailer(), Bytes(10, 1)}), false, 138},
      {"empty", Bytes(), false, 0},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(dir.File("f"), c.file);
    File file = File::OpenForReading(dir.File("f"));
    Trailer trailer;
    std::optional<uint64_t> end = ReadTrailer(file, trailer);
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(*end, c.endOfAudio);
    EXPECT_EQ(trailer.present(), c.trailer);
    std::optional<AudioExtent> extent = FindAudioExtent(file);
    ASSERT_TRUE(extent.has_value());
    EXPECT_EQ(extent->hasTrailer, c.trailer);
    EXPECT_EQ(extent->endOfAudio, c.endOfAudio);
    if (c.trailer) {
      EXPECT_EQ(Bytes(trailer.bytes, trailer.bytes + kTrailerBytes),
                Bytes(c.file.end() - kTrailerBytes, c.file.end()));
    }
  }
}

}  // namespace
}  // namespace partwell
