// CUE sheets against a peer program, as a user would meet them: mp3splt writes a sheet from
// a real split and we read it; we write a sheet and mp3splt splits by it. The source is a
// real MP3 made with sox and lame. PARTWELL_CLI is the path of our command-line program.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "split/cue_sheet.h"
#include "split/track_time.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::RunShell;
using test::ShellQuoted;

size_t CountFiles(const std::string& folder, const std::string& suffix) {
  size_t count = 0;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* item = readdir(dir)) {
      std::string name = item->d_name;
      if (name.size() > suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        ++count;
    }
    closedir(dir);
  }
  return count;
}

class CuePeerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char folder[] = "/tmp/cue_peer_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = std::string(folder) + "/";
    source_ = folder_ + "show.mp3";
    int status = 0;
    std::string wave = folder_ + "show.wav";
    std::string output = RunShell("sox -n -r 44100 -c 2 " + ShellQuoted(wave) +
                                      " synth 75 sine 300-900 && lame --quiet -b 128 " +
                                      ShellQuoted(wave) + " " + ShellQuoted(source_),
                                  status);
    ASSERT_EQ(status, 0) << "sox and lame are needed (scripts/deps.sh native): " << output;
  }
  static void TearDownTestSuite() {
    int status = 0;
    RunShell("rm -rf " + ShellQuoted(folder_), status);
  }

  // Track start times, in hundredths, from the names mp3splt gives with "@n+@m+@s+@h".
  static std::vector<int32_t> Mp3spltStarts(const std::string& sheet) {
    int status = 0;
    std::string output = RunShell(
        "mp3splt -q -P -c " + ShellQuoted(sheet) + " -o '@n+@m+@s+@h' " + ShellQuoted(source_),
        status);
    EXPECT_EQ(status, 0) << output;
    std::vector<int32_t> starts;
    std::regex created(R"(/\d+ (\d+) (\d\d) (\d\d)\.mp3" created)");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), created);
         it != std::sregex_iterator(); ++it) {
      starts.push_back(std::stoi((*it)[1]) * 6000 + std::stoi((*it)[2]) * 100 +
                       std::stoi((*it)[3]));
    }
    return starts;
  }

  static std::string folder_;
  static std::string source_;
};

std::string CuePeerTest::folder_;
std::string CuePeerTest::source_;

// mp3splt's times are min.sec.hh; ours the same in hundredths.
struct Cuts {
  std::vector<std::string> peerTimes;
  std::vector<int32_t> hundredths;
};

TEST_F(CuePeerTest, ReadsTheSheetMp3spltWritesAtTheSameTimes) {
  const Cuts cases[] = {
      {{"0.0", "0.05.37", "0.31.50", "1.02.99"}, {0, 537, 3150, 6299}},
      {{"0.05.37", "1.10.01"}, {537, 7001}},  // no track at 0: our zero marker comes first
  };
  int number = 0;
  for (const Cuts& c : cases) {
    SCOPED_TRACE(c.peerTimes[0]);
    // mp3splt writes the sheet, given by name only, into the -d folder.
    std::string name = "peer" + std::to_string(++number) + ".cue";
    std::string sheet = folder_ + name;
    std::string times;
    for (const std::string& t : c.peerTimes) times += " " + t;
    int status = 0;
    std::string output = RunShell("mp3splt -q -P -d " + ShellQuoted(folder_) + " -E " + name + " " +
                                      ShellQuoted(source_) + times + " EOF",
                                  status);
    ASSERT_EQ(status, 0) << output;

    CueSheetResult result = ReadCueSheetFile(sheet, source_);
    ASSERT_TRUE(result.ok()) << result.refusal.value_or("");
    ASSERT_EQ(result.entries.size(), c.hundredths.size());
    // The same times as mp3splt reads from its own sheet, and near the times it was given:
    // its export is off by up to one frame more than the nearest (1:10.01 becomes 01:10:02).
    std::vector<int32_t> peerStarts = Mp3spltStarts(sheet);
    ASSERT_EQ(peerStarts.size(), c.hundredths.size());
    for (size_t i = 0; i < c.hundredths.size(); ++i) {
      EXPECT_NEAR(result.entries[i].offset, peerStarts[i], 1) << "track " << i + 1;
      EXPECT_NEAR(result.entries[i].offset, c.hundredths[i], 2) << "track " << i + 1;
    }

    // And our split by that sheet makes one track per cut, plus the zero marker's.
    std::string out = folder_ + "split" + std::to_string(number);
    output = RunShell("mkdir " + ShellQuoted(out) + " && " + PARTWELL_CLI + " split " +
                          ShellQuoted(source_) + " --cue " + ShellQuoted(sheet) + " --folder " +
                          ShellQuoted(out),
                      status);
    ASSERT_EQ(status, 0) << output;
    EXPECT_EQ(CountFiles(out, ".mp3"), c.hundredths.size() + (c.hundredths[0] == 0 ? 0 : 1));
  }
}

TEST_F(CuePeerTest, Mp3spltSplitsBySheetsWeWriteAtTheSameTimes) {
  std::string sheet = folder_ + "ours.cue";
  int status = 0;
  std::string output =
      RunShell(std::string(PARTWELL_CLI) + " cue " + ShellQuoted(source_) +
                   " --times 0:05.37,0:31.50,1:02.99,1:10.02 --out " + ShellQuoted(sheet),
               status);
  ASSERT_EQ(status, 0) << output;
  std::vector<int32_t> starts = Mp3spltStarts(sheet);
  const std::vector<int32_t> expected = {0, 537, 3150, 6299, 7002};
  ASSERT_EQ(starts.size(), expected.size()) << output;
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(starts[i], expected[i], 1) << i;

  // Standard output carries the same bytes as --out.
  std::string printed = RunShell(std::string(PARTWELL_CLI) + " cue " + ShellQuoted(source_) +
                                     " --times 0:05.37,0:31.50,1:02.99,1:10.02",
                                 status);
  ASSERT_EQ(status, 0);
  std::FILE* file = std::fopen(sheet.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::string written(4096, '\0');
  written.resize(std::fread(&written[0], 1, written.size(), file));
  std::fclose(file);
  EXPECT_EQ(printed, written);
}

TEST_F(CuePeerTest, Mp3spltReadsOurTitlesPerformersAndByteOrderMark) {
  std::vector<TrackEntry> entries(2);
  SetTrackText(entries[0].title, "Caf\xC3\xA9 \"Live\"");
  SetTrackText(entries[0].artist, "Ann");
  SetTrackText(entries[1].title, "Second");
  entries[1].offset = 4000;
  std::string sheet = folder_ + "titled.cue";
  ASSERT_EQ(WriteCueSheetFile(sheet, entries, source_).value_or(""), "");

  int status = 0;
  std::string output = RunShell(
      "mp3splt -q -P -c " + ShellQuoted(sheet) + " -o '@n @p @t' " + ShellQuoted(source_), status);
  ASSERT_EQ(status, 0) << output;
  EXPECT_NE(output.find("/1 Ann Caf\xC3\xA9 'Live'.mp3\" created"), std::string::npos) << output;
  EXPECT_NE(output.find("/2  Second.mp3\" created"), std::string::npos) << output;
}

TEST_F(CuePeerTest, CommandLineTakesArtistsAndTitlesIntoTheNames) {
  std::string sheet = folder_ + "named.cue";
  std::FILE* file = std::fopen(sheet.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs(
      "PERFORMER \"Disc Artist\"\r\nFILE \"show.mp3\" MP3\r\n"
      "  TRACK 01 AUDIO\r\n    TITLE \"Intro\"\r\n    INDEX 01 00:02:00\r\n"
      "  TRACK 02 AUDIO\r\n    TITLE \"A/B\"\r\n    PERFORMER Guest\r\n"
      "    INDEX 01 00:30:00\r\n",
      file);
  std::fclose(file);
  std::string out = folder_ + "named";
  int status = 0;
  std::string output =
      RunShell("mkdir " + ShellQuoted(out) + " && " + PARTWELL_CLI + " split " +
                   ShellQuoted(source_) + " --cue " + ShellQuoted(sheet) +
                   " --name '%track% %artist% - %title%' --folder " + ShellQuoted(out),
               status);
  ASSERT_EQ(status, 0) << output;
  for (const char* name : {"/01  - .mp3", "/02 Disc Artist - Intro.mp3", "/03 Guest - A_B.mp3"}) {
    std::FILE* track = std::fopen((out + name).c_str(), "rb");
    EXPECT_NE(track, nullptr) << name;
    if (track) std::fclose(track);
  }
}

TEST_F(CuePeerTest, CommandLineRefusesWhatItCannotUse) {
  std::string bad = folder_ + "bad.cue";
  std::FILE* file = std::fopen(bad.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("TRACK 01 AUDIO\nINDEX 01 99:99:99\n", file);
  std::fclose(file);
  struct Case {
    std::string arguments;
    int exitCode;
    std::string message;
  };
  const std::string source = " " + ShellQuoted(source_);
  const Case cases[] = {
      {"split" + source, 2, "--times, --cue, --chapters or --at-silences is required"},
      {"split" + source + " --times 1:00 --cue " + ShellQuoted(bad), 2, "--times excludes --cue"},
      {"split" + source + " --cue " + ShellQuoted(bad), 1,
       "bad.cue: line 2: malformed INDEX \"INDEX 01 99:99:99\""},
      {"split" + source + " --cue " + ShellQuoted(folder_ + "missing.cue"), 1,
       "missing.cue: cannot open the sheet"},
      {"cue" + source + " --times 0:05 --out" + source, 1,
       "the sheet would replace the source file"},
      {"cue" + source + " --times 0:61", 2, "invalid time \"0:61\""},
      {"cue" + source, 2, "--times is required"},
  };
  for (const Case& c : cases) {
    int status = 0;
    std::string output = RunShell(std::string(PARTWELL_CLI) + " " + c.arguments, status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exitCode) << c.arguments << "\n"
                                                                        << output;
    EXPECT_NE(output.find(c.message), std::string::npos) << c.arguments << "\n" << output;
  }
  // The source is whole after all of that.
  struct stat info {};
  ASSERT_EQ(stat(source_.c_str(), &info), 0);
  EXPECT_GT(info.st_size, 1000000);
}

}  // namespace
}  // namespace partwell
