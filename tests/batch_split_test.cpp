// End-to-end tests of `mp3partwell split` over many files at once, on a folder of good and
// bad sources made with sox and lame: the tracks each good file gets (their bytes and their
// decoded lengths, with ffmpeg), the summary's line for each file, the exit code, a dry run
// that writes nothing, and progress into a file; and a split at the silences sox put in.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace partwell::e2e;

constexpr int kRate = 44100;

fs::path Encode(const std::string& name, const std::string& wave,
                std::vector<std::string> lameOptions) {
  return Made(name, [&](const fs::path& path) {
    fs::path wav = path.string() + ".wav";
    std::vector<std::string> sox = {"sox", "-R", "-n", "-r", std::to_string(kRate), "-c", "2", wav};
    std::istringstream words(wave);
    for (std::string word; words >> word;) sox.push_back(word);
    MustRun(sox);
    std::vector<std::string> lame = {"lame", "--quiet"};
    lame.insert(lame.end(), lameOptions.begin(), lameOptions.end());
    lame.push_back(wav);
    lame.push_back(path);
    MustRun(lame);
  });
}

fs::path Cbr() { return Encode("cbr.mp3", "synth 10 sine 220-1760", {"--cbr", "-b", "128"}); }
fs::path Vbr() { return Encode("vbr.mp3", "synth 10 sine 330-2640", {"-V", "4"}); }

std::string Sheet(const std::string& file, const std::vector<const char*>& indexes) {
  std::string text = "FILE \"" + file + "\" MP3\n";
  for (size_t i = 0; i < indexes.size(); ++i) {
    text += "  TRACK 0" + std::to_string(i + 1) + " AUDIO\n    INDEX 01 " + indexes[i] + "\n";
  }
  return text;
}

void WriteText(const fs::path& path, const std::string& text) {
  WriteBytes(path, Bytes(text.begin(), text.end()));
}

std::set<std::string> FileNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// What the summary says of `source`: the rest of the line that starts with its path and two
// spaces, less the padding.
std::string SummaryLine(const std::string& out, const std::string& source) {
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(source + "  ", 0) == 0) {
      return line.substr(line.find_first_not_of(' ', source.size()));
    }
  }
  return "(no line for " + source + ")";
}

double Seconds(const fs::path& mp3) {
  return static_cast<double>(Decode(mp3, Decoder::kFfmpeg).size()) / 2 / kRate;
}

// The batch folder: good sources with their sheets, and bad ones.
struct Batch {
  fs::path folder;
  std::vector<std::string> sources;  // as the command line names them, relative to `folder`
};

Batch MakeBatch() {
  Batch batch{Workspace::NewFolder("batch"), {}};
  fs::path in = batch.folder / "in";
  fs::create_directory(in);
  auto add = [&](const std::string& name, const fs::path& from) {
    if (!from.empty()) fs::copy_file(from, in / name);
    batch.sources.push_back("in/" + name);
  };
  add("good.mp3", Cbr());  // its sheet has its name
  WriteText(in / "good.cue", Sheet("good.mp3", {"00:00:00", "00:03:00", "00:07:00"}));
  add("named.mp3", Cbr());  // its sheet has another name, and a FILE line naming it
  WriteText(in / "sheet of named.cue", Sheet("named.mp3", {"00:00:00", "00:05:00"}));
  add("nosheet.mp3", Cbr());
  add("broken.mp3", Cbr());
  WriteText(in / "broken.cue", Sheet("broken.mp3", {"00:00:00", "00:04"}) + "INDEX 01 4:xx\n");
  add("vbr.mp3", Vbr());  // refused by the documented mode
  WriteText(in / "vbr.cue", Sheet("vbr.mp3", {"00:00:00", "00:04:00"}));
  fs::create_directory(in / "locked.mp3");  // opens, but gives no byte
  WriteText(in / "locked.cue", Sheet("locked.mp3", {"00:00:00", "00:04:00"}));
  add("locked.mp3", {});
  WriteText(in / "missing.cue", Sheet("missing.mp3", {"00:00:00", "00:04:00"}));
  add("missing.mp3", {});
  return batch;
}

TEST(BatchSplit, EachFileByItsOwnSheetOrTheSameRuleAndASummaryOfAll) {
  const Batch batch = MakeBatch();
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::string> sources;                    // empty: the whole batch
    std::map<std::string, std::vector<double>> lengths;  // of each good file's tracks, in s
    std::map<std::string, std::string> failures;         // source -> what its summary line says
    int exit;
  };
  const std::map<std::string, std::string> documentedFailures = {
      {"in/nosheet.mp3", "failed: no CUE sheet: neither nosheet.cue nor a .cue"},
      {"in/broken.mp3", "failed: in/broken.cue: line 6: malformed INDEX"},
      {"in/vbr.mp3", "failed: The MP3 you have selected to split cannot be used because it is a"},
      {"in/locked.mp3", "failed: The file you chose was either invalid, corrupted"},
      {"in/missing.mp3", "failed: No such file or directory"},
  };
  std::map<std::string, std::string> exactFailures = documentedFailures;
  exactFailures.erase("in/vbr.mp3");
  exactFailures["in/locked.mp3"] = "failed: Is a directory";
  const Case cases[] = {
      {"--cue auto",
       {"--cue", "auto"},
       {},
       {{"good", {3, 4, 3}}, {"named", {5, 5}}},
       documentedFailures,
       1},
      {"--cue auto --exact: the VBR file too",
       {"--cue", "auto", "--exact"},
       {},
       {{"good", {3, 4, 3}}, {"named", {5, 5}}, {"vbr", {4, 6}}},
       exactFailures,
       1},
      {"--times --equal for each file",
       {"--times", "0:04", "--equal"},
       {"in/good.mp3", "in/named.mp3"},
       {{"good", {4, 4, 2}}, {"named", {4, 4, 2}}},
       {},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string>& sources = c.sources.empty() ? batch.sources : c.sources;
    fs::create_directory(batch.folder / "out");
    std::vector<std::string> args = {"split"};
    args.insert(args.end(), sources.begin(), sources.end());
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"--folder", "out"});

    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    Outcome planned = Cli(dry, 60, batch.folder);
    EXPECT_EQ(planned.exit, c.exit) << planned;
    EXPECT_TRUE(FileNames(batch.folder / "out").empty()) << "a dry run wrote a file";

    Outcome o = Cli(args, 60, batch.folder);
    EXPECT_EQ(o.exit, c.exit) << o;
    std::set<std::string> expected;
    for (const auto& [stem, lengths] : c.lengths) {
      std::string source = "in/" + stem + ".mp3";
      SCOPED_TRACE(source);
      EXPECT_EQ(SummaryLine(o.out, source), std::to_string(lengths.size()) + " tracks") << o;
      EXPECT_TRUE(Contains(SummaryLine(planned.out, source), " (dry run)")) << planned;
      uint64_t bytes = 0;
      double seconds = 0;
      for (size_t i = 0; i < lengths.size(); ++i) {
        std::string name = stem + " - 0" + std::to_string(i + 1) + ".mp3";
        expected.insert(name);
        fs::path track = batch.folder / "out" / name;
        ASSERT_TRUE(fs::exists(track)) << name << "\n" << o;
        EXPECT_TRUE(Contains(planned.out, "  out/" + name + "\n")) << name << "\n" << planned;
        bytes += fs::file_size(track);
        double length = Seconds(track);
        seconds += length;
        // A plain cut falls on the next frame (26 ms); an exact one on the sample.
        EXPECT_NEAR(length, lengths[i], 0.06) << name;
      }
      if (std::find(args.begin(), args.end(), "--exact") == args.end()) {
        EXPECT_EQ(bytes, fs::file_size(batch.folder / source)) << "the tracks hold the source";
      } else {
        EXPECT_NEAR(seconds, Seconds(batch.folder / source), 0.5 / kRate);
      }
    }
    EXPECT_EQ(FileNames(batch.folder / "out"), expected) << o;
    for (const auto& [source, says] : c.failures) {
      EXPECT_TRUE(Contains(SummaryLine(o.out, source), says)) << source << "\n" << o;
      EXPECT_TRUE(Contains(SummaryLine(planned.out, source), says)) << source << "\n" << planned;
    }
    const size_t done = c.lengths.size();
    EXPECT_TRUE(Contains(o.out, std::to_string(sources.size()) + " files: " + std::to_string(done) +
                                    " split, " + std::to_string(sources.size() - done) +
                                    " failed.\n"))
        << o;
    // Into a file, progress is a line per file and per track, and never a percentage.
    const std::string first = "File 1 of " + std::to_string(sources.size()) + ": " + sources[0];
    EXPECT_TRUE(Contains(o.err, first + "\n")) << o;
    EXPECT_TRUE(Contains(o.err, "Creating... [001]\n")) << o;
    EXPECT_FALSE(Contains(o.err, "%")) << o;
    fs::remove_all(batch.folder / "out");
  }
}

TEST(BatchSplit, QuietPrintsOnlyErrorsAndTheSummary) {
  const Batch batch = MakeBatch();
  fs::create_directory(batch.folder / "out");
  std::vector<std::string> args = {"split", "--cue", "auto", "--folder", "out", "--quiet"};
  args.insert(args.end(), batch.sources.begin(), batch.sources.end());
  Outcome o = Cli(args, 60, batch.folder);
  EXPECT_EQ(o.exit, 1) << o;
  EXPECT_EQ(o.out.rfind("\nFile ", 0), 0u) << "only the summary on standard output\n" << o;
  EXPECT_FALSE(Contains(o.err, "Creating")) << o;
  EXPECT_FALSE(Contains(o.err, "File 1 of")) << o;
  EXPECT_TRUE(Contains(o.err, "malformed INDEX")) << o;
  EXPECT_EQ(FileNames(batch.folder / "out").size(), 5u) << o;
}

TEST(BatchSplit, NoTrackReplacesAnotherSourceOfTheBatch) {
  fs::path folder = Workspace::NewFolder("replace");
  fs::copy_file(Cbr(), folder / "a.mp3");
  fs::copy_file(Cbr(), folder / "a 01.mp3");  // what a.mp3's first track would be called
  const Bytes before = ReadBytes(folder / "a 01.mp3");
  Outcome o =
      Cli({"split", "a.mp3", "a 01.mp3", "--times", "0:00,0:05", "--name", "%file% %track%"}, 60,
          folder);
  EXPECT_EQ(o.exit, 1) << o;
  EXPECT_TRUE(Contains(SummaryLine(o.out, "a.mp3"), "would replace another source file")) << o;
  EXPECT_TRUE(SameBytes(ReadBytes(folder / "a 01.mp3"), before));
  EXPECT_EQ(SummaryLine(o.out, "a 01.mp3"), "2 tracks") << o;
}

TEST(BatchSplit, AtSilencesPrintsTheTimesFirstAndCutsThere) {
  // Three tones of 3 s, each followed by 1.5 s of silence (the last one reaches the end).
  fs::path tones =
      Encode("tones.mp3", "synth 3 sine 440 pad 0 1.5 repeat 2", {"--cbr", "-b", "128"});
  fs::path folder = Workspace::NewFolder("silences");
  Outcome dry = Cli({"split", tones, "--at-silences", "--folder", folder, "--dry-run", "--exact"});
  EXPECT_EQ(dry.exit, 0) << dry;
  EXPECT_TRUE(FileNames(folder).empty());
  std::istringstream lines(dry.out);
  std::vector<std::string> pauses, tracks;
  for (std::string line; std::getline(lines, line);) {
    if (Contains(line, "# pause of")) pauses.push_back(line);
    if (Contains(line, folder.string())) tracks.push_back(line);
  }
  ASSERT_EQ(pauses.size(), 2u) << dry;
  ASSERT_EQ(tracks.size(), 3u) << dry;
  EXPECT_LT(dry.out.find("# pause of"), dry.out.find("Start      End"));
  // Each cut is 0.2 s before its pause ends; the next track starts there.
  EXPECT_EQ(pauses[0].substr(0, 9), tracks[1].substr(0, 9)) << dry;
  EXPECT_EQ(pauses[1].substr(0, 9), tracks[2].substr(0, 9)) << dry;
  EXPECT_FALSE(Contains(dry.err, "%")) << dry;

  Outcome o =
      Cli({"split", tones, "--at-silences", "--tracks", "3", "--folder", folder, "--exact"});
  EXPECT_EQ(o.exit, 0) << o;
  ASSERT_EQ(FileNames(folder).size(), 3u) << o;
  double seconds = 0;
  for (const std::string& name : FileNames(folder)) seconds += Seconds(folder / name);
  EXPECT_NEAR(seconds, Seconds(tones), 0.5 / kRate);

  Outcome listen = Cli({"silences", tones});
  EXPECT_EQ(listen.exit, 0) << listen;
  EXPECT_EQ(listen.err, "File 1 of 1: " + tones.string() + "\n") << listen;
}

}  // namespace
