#include <gtest/gtest.h>

#include <string>

#include "split/track_entry.h"
#include "split/track_naming.h"

namespace partwell {
namespace {

TEST(TrackNaming, ExpansionOfThePattern) {
  struct Case {
    const char* pattern;
    const char* artist;
    const char* title;
    int index;
    const char* expected;
  };
  const std::string source = "/music/live.at.club.mp3";
  const Case cases[] = {
      {"/out/%file% - %track%", "", "", 0, "/out/live - 01.mp3"},
      {"/out/%file% - %track%", "", "", 8, "/out/live - 09.mp3"},
      {"/out/%file% - %track%", "", "", 98, "/out/live - 99.mp3"},
      {"/out/%file% - %track%", "", "", 99, "/out/live - 100.mp3"},
      {"/out/%file% - %track%", "", "", 999, "/out/live - 1000.mp3"},
      {"/out/%track% %track%", "", "", 2, "/out/03 %track%.mp3"},
      {"/out/%file%.mp3", "", "", 0, "/out/live.mp3.mp3"},
      {"/out/%artist% - %title%", "", "", 0, "/out/ - .mp3"},
      {"/out/%artist% - %title% %artist%", "Me", "Song", 0, "/out/Me - Song %artist%.mp3"},
      // a value that brings in a placeholder: later steps see it
      {"/out/%title%", "", "%track%", 4, "/out/05.mp3"},
      {"/out/%artist%", "%title%", "T", 0, "/out/T.mp3"},
      // values cannot lead out of the folder
      {"/out/%artist% - %title%", "AC/DC", "..\\..\\x:y*?\"<>|", 0,
       "/out/AC_DC - .._.._x_y______.mp3"},
      {"/out/%FILE%", "", "", 0, "/out/%FILE%.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    TrackEntry entry;
    SetTrackText(entry.artist, c.artist);
    SetTrackText(entry.title, c.title);
    EXPECT_EQ(MakeTrackFileName(c.pattern, source, &entry, c.index), c.expected);
  }
  EXPECT_EQ(MakeTrackFileName("/out/%artist%%title%%track%", source, nullptr, 150), "/out/151.mp3");
}

TEST(TrackNaming, NamesLongerThanAPathAreRefusedNotCut) {
  std::string folder = "/" + std::string(200, 'f') + "/";
  EXPECT_TRUE(MakeTrackFileName(folder + std::string(53, 'n'), "/a.mp3", nullptr, 0));  // 259
  EXPECT_FALSE(MakeTrackFileName(folder + std::string(54, 'n'), "/a.mp3", nullptr, 0));
  EXPECT_FALSE(MakeTrackFileName(folder + "%track%" + std::string(51, 'n'), "/a.mp3", nullptr, 99));
}

TEST(TrackNaming, TemplateCharactersBaseNameAndFolder) {
  EXPECT_TRUE(CheckNameChars("%file% - %track% (live)"));
  for (char c : std::string("\\/:*?\"<>|")) {
    EXPECT_FALSE(CheckNameChars(std::string("a") + c + "b")) << c;
  }
  EXPECT_EQ(SourceBaseName("/music/live.at.club.mp3"), "live");
  EXPECT_EQ(SourceBaseName("/mu.sic/noext"), "noext");
  EXPECT_EQ(SourceBaseName("plain.mp3"), "plain");
  EXPECT_EQ(BuildTrackNamePattern("", "/music/a.mp3", "%file%"), "/music/%file%");
  EXPECT_EQ(BuildTrackNamePattern("/out/", "/music/a.mp3", "%file%"), "/out/%file%");
  EXPECT_EQ(BuildTrackNamePattern("", "a.mp3", "%file%"), "%file%");
}

}  // namespace
}  // namespace partwell
