#include "split/cue_sheet.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "split/track_time.h"

namespace partwell {
namespace {

struct Track {
  std::string time;
  std::string artist;
  std::string title;
};

void ExpectTracks(const CueSheetResult& result, const std::vector<Track>& expected) {
  ASSERT_TRUE(result.ok()) << result.refusal.value_or("");
  ASSERT_EQ(result.entries.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_STREQ(result.entries[i].timeText, expected[i].time.c_str()) << "track " << i + 1;
    EXPECT_STREQ(result.entries[i].artist, expected[i].artist.c_str()) << "track " << i + 1;
    EXPECT_STREQ(result.entries[i].title, expected[i].title.c_str()) << "track " << i + 1;
  }
}

TrackEntry Entry(int32_t offset, const std::string& artist = "", const std::string& title = "") {
  TrackEntry entry;
  entry.offset = offset;
  SetTimeText(entry, FormatTimeText(TimePartsOfOffset(offset)));
  SetTrackText(entry.artist, artist);
  SetTrackText(entry.title, title);
  return entry;
}

TEST(CueSheetRead, TakesTimesArtistsAndTitlesFromTheUsualLayouts) {
  const std::string sheet =
      "REM GENRE Rock\r\n"
      "PERFORMER \"The Band\"\r\n"
      "TITLE \"Live Album\"\r\n"
      "FILE \"live.mp3\" MP3\r\n"
      "  TRACK 01 AUDIO\r\n"
      "    TITLE \"Opening TRACK 01 AUDIO\"\r\n"
      "    INDEX 01 00:00:00\r\n"
      "  track 02 audio\r\n"
      "\ttitle\tUnquoted Title  \r\n"
      "\tperformer Guest\r\n"
      "    INDEX 00 04:10:00\r\n"
      "    index 01 04:12:38\r\n"
      "  TRACK 3 AUDIO\n"
      "    FLAGS DCP\n"
      "    TITLE \"Missing quote\n"
      "    INDEX 1 189:05\n"
      "  TRACK 04 AUDIO\r"
      "    TITLE \"He said \"hi\" twice\"\r"
      "    INDEX 01 999:59:74\r"
      "    INDEX 02 999:59:74\r";
  CueSheetResult result = ReadCueSheet(sheet, "live.mp3");
  EXPECT_EQ(result.discTitle, "Live Album");
  EXPECT_EQ(result.discPerformer, "The Band");
  ExpectTracks(result, {{"000:00.00", "The Band", "Opening TRACK 01 AUDIO"},
                        {"004:12.51", "Guest", "Unquoted Title"},
                        {"189:05.00", "The Band", "Missing quote"},
                        {"999:59.99", "The Band", "He said \"hi\" twice"}});
}

TEST(CueSheetRead, EveryFrameKeepsItsTimeThroughWriteAndReadAgain) {
  // Every frame of the first two minutes and the last ones below 1000 minutes.
  std::string sheet = "FILE \"a.mp3\" MP3\n";
  std::vector<long> frames;
  for (long f = 0; f < 9000; ++f) frames.push_back(f);
  for (long f = 4499999 - 200; f <= 4499999; ++f) frames.push_back(f);
  for (size_t i = 0; i < frames.size(); ++i) {
    char line[80];
    std::snprintf(line, sizeof line, "TRACK %zu AUDIO\nINDEX 01 %ld:%02ld:%02ld\n", i + 1,
                  frames[i] / 4500, frames[i] / 75 % 60, frames[i] % 75);
    sheet += line;
  }
  CueSheetResult first = ReadCueSheet(sheet, "a.mp3");
  ASSERT_TRUE(first.ok()) << first.refusal.value_or("");
  ASSERT_EQ(first.entries.size(), frames.size());
  // Hundredths are frames x 4 / 3 rounded to the nearest.
  EXPECT_EQ(first.entries[1].offset, 1);
  EXPECT_EQ(first.entries[2].offset, 3);
  EXPECT_EQ(first.entries[3].offset, 4);
  EXPECT_EQ(first.entries[75].offset, 100);

  CueSheetResult second = ReadCueSheet(WriteCueSheet(first.entries, "a.mp3"), "a.mp3");
  ASSERT_TRUE(second.ok()) << second.refusal.value_or("");
  ASSERT_EQ(second.entries.size(), first.entries.size());
  for (size_t i = 0; i < first.entries.size(); ++i) {
    ASSERT_EQ(second.entries[i].offset, first.entries[i].offset) << "frame " << frames[i];
    ASSERT_EQ(first.entries[i].cueFrames, frames[i]);  // the position the exact split cuts at
    ASSERT_STREQ(second.entries[i].timeText, first.entries[i].timeText);
  }
}

TEST(CueSheetRead, DecodesUtf8Latin1AndUtf16) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string title;
  };
  const std::string body = "TRACK 01 AUDIO\nTITLE \"";
  const std::string tail = "\"\nINDEX 01 00:00:00\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : body + "Caf" + std::string(1, '\xE9') + tail) {
    utf16 += c;
    utf16 += '\0';
  }
  const Case cases[] = {
      {"UTF-8", body + "Caf\xC3\xA9" + tail, "Caf\xC3\xA9"},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + body + "\xE2\x82\xAC" + tail,
       "\xE2\x82\xAC"},
      {"Latin-1", body + "Caf\xE9" + tail, "Caf\xC3\xA9"},
      {"a byte-order mark and a stray Latin-1 byte", "\xEF\xBB\xBF" + body + "\xE9\xC3\xA9" + tail,
       "\xC3\xA9\xC3\xA9"},
      {"overlong UTF-8 is Latin-1", body + "\xC0\xAF" + tail, "\xC3\x80\xC2\xAF"},
      {"UTF-16 little-endian", utf16, "Caf\xC3\xA9"},
      {"control characters",
       body +
           "a\x01"
           "b\x7F"
           "c" +
           tail,
       "a b c"},
  };
  for (const Case& c : cases) {
    CueSheetResult result = ReadCueSheet(c.bytes, "");
    ASSERT_TRUE(result.ok()) << c.name << ": " << result.refusal.value_or("");
    ASSERT_EQ(result.entries.size(), 1u) << c.name;
    EXPECT_EQ(std::string(result.entries[0].title), c.title) << c.name;
  }
}

TEST(CueSheetRead, RefusesWithTheLineAndTheReason) {
  struct Case {
    std::string sheet;
    std::string refusal;  // the start of the reason
  };
  const std::string track1 = "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
  const Case cases[] = {
      {"", "the sheet holds no track with an INDEX 01"},
      {"\x89PNG\r\n\x1A\n\x00\x00junk", "the sheet holds no track"},
      {"TRACK 01 AUDIO\nINDEX 00 00:00:00\n", "line 1: track 01 has no INDEX 01"},
      {"INDEX 01 00:00:00\n", "line 1: an INDEX before the first TRACK"},
      {"TRACK AUDIO\n", "line 1: a TRACK without a track number"},
      {"TRACK 01 AUDIO\nINDEX 01 99:99:99\n", "line 2: malformed INDEX \"INDEX 01 99:99:99\""},
      {"TRACK 01 AUDIO\nINDEX 01 00:00:75\n", "line 2: malformed INDEX"},
      {"TRACK 01 AUDIO\nINDEX 01 00:00:00:00\n", "line 2: malformed INDEX"},
      {"TRACK 01 AUDIO\nINDEX 01 -1:00:00\n", "line 2: malformed INDEX"},
      {"TRACK 01 AUDIO\nINDEX 01\n", "line 2: malformed INDEX"},
      {"TRACK 01 AUDIO\nINDEX 01 00:00:00 extra\n", "line 2: malformed INDEX"},
      {"TRACK 01 AUDIO\nINDEX 01 1000:00:00\n",
       "line 2: the time 1000:00:00 is 1000 minutes or more"},
      {"TRACK 01 AUDIO\nINDEX 01 99999999999999999999:00:00\n", "line 2: the time"},
      {track1 + "TRACK 02 AUDIO\nINDEX 01 01:00:00\nTRACK 03 AUDIO\nINDEX 01 00:30:00\n",
       "line 6: track 03 starts at 00:30:00, not after track 02 at 01:00:00"},
      {track1 + "TRACK 02 AUDIO\nINDEX 01 00:00:00\n", "line 4: track 02 starts at 00:00:00"},
      {track1 + "INDEX 01 00:01:00\n",
       "line 3: a second INDEX 01 for track 01 (the first is on line 2)"},
      {"FILE a.wav WAVE\n" + track1 + "FILE \"b.wav\" WAVE\n" + track1,
       "the sheet is for 2 files (\"a.wav\", \"b.wav\") and none of them is \"show.mp3\""},
      {"FILE a.wav\n" + track1 + "FILE show.wav\n", "the sheet holds no track for \"show.mp3\""},
      {"FILE " + std::string(200, 'a') + " WAVE\n" + track1 + "FILE b\n" + track1,
       "the sheet is for 2 files (\"" + std::string(60, 'a') + "...\", \"b\")"},
  };
  for (const Case& c : cases) {
    CueSheetResult result = ReadCueSheet(c.sheet, "/music/show.mp3");
    EXPECT_FALSE(result.ok()) << c.sheet;
    EXPECT_TRUE(result.entries.empty()) << c.sheet;
    EXPECT_EQ(result.refusal.value_or("").substr(0, c.refusal.size()), c.refusal) << c.sheet;
  }
}

TEST(CueSheetRead, TakesTheTracksOfTheSourcesFile) {
  const std::string sheet =
      "PERFORMER Disc\n"
      "FILE \"C:\\rips\\One.wav\" WAVE\n"
      "TRACK 01 AUDIO\nTITLE First\nINDEX 01 00:00:00\n"
      "TRACK 02 AUDIO\nTITLE Second\nINDEX 00 03:00:00\n"
      "FILE \"Two.WAV\" WAVE\n"
      "INDEX 01 00:00:00\n"  // track 02 starts in the second file
      "TRACK 03 AUDIO\nTITLE Third\nINDEX 01 02:00:00\n";
  struct Case {
    std::string source;
    std::vector<Track> tracks;
  };
  const Case cases[] = {
      {"/x/one.wav", {{"000:00.00", "Disc", "First"}}},
      {"two.wav", {{"000:00.00", "Disc", "Second"}, {"002:00.00", "Disc", "Third"}}},
      {"D:\\mp3\\Two.mp3", {{"000:00.00", "Disc", "Second"}, {"002:00.00", "Disc", "Third"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    ExpectTracks(ReadCueSheet(sheet, c.source), c.tracks);
  }
  EXPECT_EQ(ReadCueSheet(sheet, "").refusal.value_or(""),
            "the sheet is for 2 files (\"One.wav\", \"Two.WAV\"); choose the source file first");
  // One file: its tracks whatever its name.
  ExpectTracks(ReadCueSheet("FILE \"disc.flac\" WAVE\nTRACK 1 AUDIO\nINDEX 01 0:01:00\n", "x.mp3"),
               {{"000:01.00", "", ""}});
}

TEST(CueSheetRead, SurvivesHostileSizes) {
  // A 10 MB title line, then 10,000 tracks.
  std::string sheet = "TRACK 1 AUDIO\nTITLE \"" + std::string(10 << 20, '\xE9') + "\n";
  sheet += "INDEX 01 00:00:00\n";
  for (int i = 2; i <= 10000; ++i) {
    sheet += "TRACK " + std::to_string(i) + " AUDIO\nINDEX 01 " + std::to_string(i) + ":00:00\n";
  }
  CueSheetResult result = ReadCueSheet(sheet, "");
  ASSERT_FALSE(result.ok());  // minute 1000 is too late
  EXPECT_EQ(result.refusal.value_or("").substr(0, 9), "line 2001");
  sheet.resize(sheet.find("TRACK 1000 "));
  result = ReadCueSheet(sheet, "");
  ASSERT_TRUE(result.ok()) << result.refusal.value_or("");
  ASSERT_EQ(result.entries.size(), 999u);
  EXPECT_EQ(std::string(result.entries[0].title).size(), 100u);  // 50 two-byte characters
  EXPECT_STREQ(result.entries[998].timeText, "999:00.00");

  // Beyond the limits: a clear refusal, in time.
  std::string tracks, files;
  for (size_t i = 0; i <= kMaxCueTracks; ++i) {
    tracks += "TRACK 1 AUDIO\n";
    files += "FILE f" + std::to_string(i) + "\n";
  }
  EXPECT_EQ(ReadCueSheet(tracks, "").refusal.value_or(""), "line 20001: more than 20000 tracks");
  EXPECT_EQ(ReadCueSheet(files, "").refusal.value_or(""),
            "line 20001: more than 20000 FILE entries");
  EXPECT_EQ(ReadCueSheet(std::string(kMaxCueSheetBytes + 1, '\n'), "").refusal.value_or(""),
            "the sheet is larger than 32 MB");
}

TEST(CueSheetWrite, WritesTracksTitlesPerformersAndFrames) {
  const std::vector<TrackEntry> entries = {
      Entry(0),
      Entry(25238, "Ann", "Say \"hi\""),
      Entry(600037, "", "\"Late"),
  };
  EXPECT_EQ(WriteCueSheet(entries, "/music/live show.mp3"),
            "FILE \"live show.mp3\" MP3\r\n"
            "  TRACK 01 AUDIO\r\n"
            "    INDEX 01 00:00:00\r\n"
            "  TRACK 02 AUDIO\r\n"
            "    TITLE \"Say 'hi'\"\r\n"
            "    PERFORMER \"Ann\"\r\n"
            "    INDEX 01 04:12:29\r\n"
            "  TRACK 03 AUDIO\r\n"
            "    TITLE \"'Late\"\r\n"
            "    INDEX 01 100:00:28\r\n");
  // No source: no FILE line. Text beyond ASCII: a byte-order mark.
  EXPECT_EQ(
      WriteCueSheet({Entry(0, "", "Caf\xC3\xA9")}, ""),
      "\xEF\xBB\xBF  TRACK 01 AUDIO\r\n    TITLE \"Caf\xC3\xA9\"\r\n    INDEX 01 00:00:00\r\n");
}

TEST(CueSheetWrite, GivesEveryEntryAFrameOfItsOwn) {
  // 0.02 and 0.03 s round to the same frame; the last ones crowd the latest frame.
  const std::vector<TrackEntry> entries = {Entry(0), Entry(2), Entry(3), Entry(5999998),
                                           Entry(5999999)};
  CueSheetResult result = ReadCueSheet(WriteCueSheet(entries, "a.mp3"), "a.mp3");
  ASSERT_TRUE(result.ok()) << result.refusal.value_or("");
  std::vector<int32_t> offsets;
  for (const TrackEntry& entry : result.entries) offsets.push_back(entry.offset);
  EXPECT_EQ(offsets, (std::vector<int32_t>{0, 3, 4, 5999997, 5999999}));
}

}  // namespace
}  // namespace partwell
