// Chapters against other programs. Files with chapters written by `join --chapters` and
// `chapters --times | --cue` are read back by mutagen, ffprobe and `mp3partwell chapters`;
// files whose chapters mutagen wrote (ID3v2.3 and 2.4, with and without a CTOC,
// unsynchronised) are split at them; and a joined file's chapters start where ffmpeg plays
// each source's first sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace partwell::e2e {
namespace {

const std::string kPython = "/usr/bin/python3";  // Debian's, which has mutagen
const std::string kMutagenScript = PARTWELL_TESTS_DIR "/mutagen_chapters.py";
constexpr int kRate = 44100;

struct Mark {
  std::string id;
  long start = 0;
  long end = 0;
  std::string title;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Split(const std::string& line, char separator, size_t fields) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() + 1 < fields) {
    size_t at = line.find(separator, start);
    if (at == std::string::npos) break;
    parts.push_back(line.substr(start, at - start));
    start = at + 1;
  }
  parts.push_back(line.substr(start));
  return parts;
}

// Each reader's chapters, in start order (ffprobe gives no ids: they stay empty).
struct Read {
  std::vector<Mark> marks;
  std::vector<std::string> tables;  // mutagen: "toc 1 1 chp1,chp2"
};

Read ReadWithMutagen(const fs::path& mp3) {
  Read read;
  for (const std::string& line : Lines(MustRun({kPython, kMutagenScript, "read", mp3}).out)) {
    std::vector<std::string> f = Split(line, ' ', 5);
    if (f[0] == "CHAP") read.marks.push_back({f[1], std::stol(f[2]), std::stol(f[3]), f[4]});
    if (f[0] == "CTOC") read.tables.push_back(line.substr(5));
  }
  std::sort(read.marks.begin(), read.marks.end(),
            [](const Mark& a, const Mark& b) { return a.start < b.start; });
  return read;
}

Read ReadWithFfprobe(const fs::path& mp3) {
  Read read;
  Outcome o = MustRun({"ffprobe", "-v", "error", "-show_entries",
                       "chapter=start,end:chapter_tags=title", "-of", "csv=p=0", mp3});
  for (const std::string& line : Lines(o.out)) {
    std::vector<std::string> f = Split(line, ',', 3);
    read.marks.push_back({"", std::stol(f[0]), std::stol(f[1]), f.size() > 2 ? f[2] : ""});
  }
  std::sort(read.marks.begin(), read.marks.end(),
            [](const Mark& a, const Mark& b) { return a.start < b.start; });
  return read;
}

long ParseMilliseconds(const std::string& text) {
  unsigned h = 0, m = 0, s = 0, ms = 0;
  std::sscanf(text.c_str(), "%u:%u:%u.%u", &h, &m, &s, &ms);
  return ((h * 60L + m) * 60 + s) * 1000 + ms;
}

Read ReadWithOurs(const fs::path& mp3) {
  Read read;
  Outcome o = Cli({"chapters", mp3.string()});
  EXPECT_EQ(o.exit, 0) << o;
  for (const std::string& line : Lines(o.out)) {
    std::vector<std::string> f = Split(line, '\t', 5);
    if (f.size() == 5) {
      read.marks.push_back({f[1], ParseMilliseconds(f[2]), ParseMilliseconds(f[3]), f[4]});
    }
  }
  return read;
}

std::string Describe(const std::vector<Mark>& marks) {
  std::string text;
  for (const Mark& m : marks) {
    text += m.id + " " + std::to_string(m.start) + "-" + std::to_string(m.end) + " " + m.title;
    text += "\n";
  }
  return text;
}

// 3.3 s of sound, its kind chosen so that each source is told apart when decoded.
fs::path MakeSource(const std::string& name, const std::vector<std::string>& lame,
                    const char* sound) {
  return Made(name, [&](const fs::path& path) {
    fs::path wave = path.string() + ".wav";
    MustRun({"sox", "-R", "-n", "-r", std::to_string(kRate), "-c", "2", wave, "synth", "3.3", sound,
             "vol", "0.5"});
    std::vector<std::string> argv = {"lame", "--quiet"};
    argv.insert(argv.end(), lame.begin(), lame.end());
    argv.insert(argv.end(), {wave.string(), path.string()});
    MustRun(argv);
  });
}

fs::path CbrSource() { return MakeSource("cbr.mp3", {"--cbr", "-b", "128"}, "brownnoise"); }

// Where the samples of `part` (interleaved stereo) begin in `whole`, searched near `near`
// (in sample frames): the offset where a stretch well inside `part` matches best.
long FindPart(const std::vector<int16_t>& whole, const std::vector<int16_t>& part, long near) {
  constexpr long kInside = 4096, kLength = 4096, kReach = 3000;
  long best = -1;
  double bestError = 0;
  for (long offset = std::max(0L, near - kReach); offset <= near + kReach; ++offset) {
    if (static_cast<size_t>(2 * (offset + kInside + kLength)) > whole.size()) break;
    double error = 0;
    for (long i = 2 * kInside; i < 2 * (kInside + kLength); ++i) {
      double d = whole[static_cast<size_t>(2 * offset + i)] - part[static_cast<size_t>(i)];
      error += d * d;
    }
    if (best < 0 || error < bestError) {
      best = offset;
      bestError = error;
    }
  }
  return best;
}

// The sources of the joined book: CBR with a title, VBR without a tag, CBR at another rate.
std::vector<fs::path> BookParts() {
  return {Made("opening.mp3",
               [](const fs::path& p) {
                 fs::copy_file(CbrSource(), p);
                 MustRun({kPython, kMutagenScript, "write", p, "3", "none", "plain"});
               }),
          MakeSource("vbr part.mp3", {"-V", "2"}, "pinknoise"),
          MakeSource("cbr tail.mp3", {"--cbr", "-b", "192"}, "whitenoise")};
}

fs::path JoinedBook() {
  return Made("book.mp3", [](const fs::path& path) {
    std::vector<std::string> args = {"join", path.string()};
    for (const fs::path& part : BookParts()) args.push_back(part.string());
    args.push_back("--chapters");
    Outcome o = Cli(args);
    ASSERT_EQ(o.exit, 0) << o;
  });
}

// The chapters every reader reads are the ones written, to the millisecond.
TEST(Chapters, WrittenChaptersReadTheSameByMutagenFfprobeAndOurs) {
  fs::path source = CbrSource();
  fs::path folder = Workspace::NewFolder("written");
  fs::path sheet = folder / "marks.cue";
  WriteBytes(sheet, [] {
    std::string text =
        "FILE \"cbr.mp3\" MP3\r\n  TRACK 01 AUDIO\r\n    TITLE \"Caf\xC3\xA9\"\r\n"
        "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE \"Zwei\"\r\n"
        "    INDEX 01 00:01:10\r\n";
    return Bytes(text.begin(), text.end());
  }());
  struct Case {
    const char* name;
    std::vector<std::string> args;  // after FILE; empty: the joined book
    std::vector<long> starts;       // empty: not known beforehand
    std::vector<std::string> titles;
  };
  const Case cases[] = {
      {"times", {"--times", "0:00,0:01.50,0:02.25"}, {0, 1500, 2250}, {"", "", ""}},
      {"cue", {"--cue", sheet.string()}, {0, 1133}, {"Caf\xC3\xA9", "Zwei"}},
      {"join", {}, {}, {"Book", "vbr part", "cbr tail"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path written = folder / (std::string(c.name) + ".mp3");
    if (c.args.empty()) {
      written = JoinedBook();
    } else {
      std::vector<std::string> args = {"chapters", source.string()};
      args.insert(args.end(), c.args.begin(), c.args.end());
      args.insert(args.end(), {"--output", written.string()});
      Outcome o = Cli(args);
      ASSERT_EQ(o.exit, 0) << o;
      // The audio bytes follow the new tag unchanged.
      Bytes before = ReadBytes(source), after = ReadBytes(written);
      ASSERT_GT(after.size(), before.size());
      EXPECT_TRUE(
          SameBytes(Bytes(after.end() - static_cast<long>(before.size()), after.end()), before));
    }
    Read mutagen = ReadWithMutagen(written);
    Read ours = ReadWithOurs(written);
    Read ffprobe = ReadWithFfprobe(written);
    ASSERT_EQ(mutagen.marks.size(), c.titles.size()) << Describe(mutagen.marks);
    std::string children;
    for (size_t i = 0; i < c.titles.size(); ++i) {
      EXPECT_EQ(mutagen.marks[i].title, c.titles[i]);
      if (!c.starts.empty()) {
        EXPECT_EQ(mutagen.marks[i].start, c.starts[i]);
      }
      if (i + 1 < c.titles.size()) {
        EXPECT_EQ(mutagen.marks[i].end, mutagen.marks[i + 1].start);
      }
      children += (i ? "," : "") + mutagen.marks[i].id;
    }
    EXPECT_EQ(mutagen.tables, std::vector<std::string>{"toc 1 1 " + children});
    EXPECT_EQ(Describe(ours.marks), Describe(mutagen.marks));
    // ffprobe shows an untitled chapter by its id.
    for (Mark& m : mutagen.marks) {
      if (m.title.empty()) m.title = m.id;
      m.id.clear();
    }
    EXPECT_EQ(Describe(ffprobe.marks), Describe(mutagen.marks));
  }
}

// A joined file's chapter k starts where ffmpeg, playing the joined file gaplessly, plays the
// first sample of source k (found by matching that source's own decoding), within 1 ms; the
// last ends where the joined file ends.
TEST(Chapters, JoinedChaptersStartWhereEachSourcePlays) {
  fs::path book = JoinedBook();
  std::vector<int16_t> whole = Decode(book, Decoder::kFfmpeg);
  const std::vector<fs::path> parts = BookParts();
  Read ours = ReadWithOurs(book);
  ASSERT_EQ(ours.marks.size(), 3u);
  for (size_t k = 0; k < 3; ++k) {
    SCOPED_TRACE(parts[k].filename().string());
    long near = ours.marks[k].start * kRate / 1000;
    long found = FindPart(whole, Decode(parts[k], Decoder::kFfmpeg), near);
    EXPECT_LE(std::abs(found * 1000.0 / kRate - static_cast<double>(ours.marks[k].start)), 1.0)
        << "found at sample " << found;
  }
  EXPECT_LE(std::abs(static_cast<double>(whole.size() / 2) * 1000.0 / kRate -
                     static_cast<double>(ours.marks[2].end)),
            1.0);
}

// Files whose chapters mutagen wrote, split at them in both modes: one track per chapter,
// named and tagged with its title, none carrying the chapters; exact tracks hold the samples
// between the chapters' starts.
TEST(Chapters, MutagenChaptersSplitWithTheirTitles) {
  const std::vector<std::string> marks = {"0:1200:Intro", "1200:2500:Kapitel \xC3\xBC",
                                          "2500:3300:Ende \xE2\x98\x83"};
  const long starts[] = {0, 1200, 2500};
  const char* titles[] = {"Intro", "Kapitel \xC3\xBC", "Ende \xE2\x98\x83"};
  struct Case {
    const char* version;
    const char* table;
    const char* unsync;
  };
  const Case cases[] = {{"3", "ctoc", "plain"},
                        {"4", "ctoc", "plain"},
                        {"3", "none", "plain"},
                        {"4", "none", "plain"},
                        {"3", "ctoc", "unsync"}};
  const size_t sourceSamples = Decode(CbrSource(), Decoder::kFfmpeg).size() / 2;
  for (const Case& c : cases) {
    for (bool exact : {true, false}) {
      std::string name = std::string("v2.") + c.version + " " + c.table + " " + c.unsync +
                         (exact ? " exact" : " documented");
      SCOPED_TRACE(name);
      fs::path folder = Workspace::NewFolder("mutagen");
      fs::path source = folder / "book.mp3";
      fs::copy_file(CbrSource(), source);
      std::vector<std::string> argv = {kPython,   kMutagenScript, "write", source.string(),
                                       c.version, c.table,        c.unsync};
      argv.insert(argv.end(), marks.begin(), marks.end());
      MustRun(argv);
      ASSERT_EQ(ReadWithMutagen(source).marks.size(), 3u);
      std::vector<std::string> split = {"split",  source.string(), "--chapters",
                                        "--tags", "--name",        "%track% %title%"};
      if (exact) split.push_back("--exact");
      Outcome o = Cli(split);
      ASSERT_EQ(o.exit, 0) << o;
      for (size_t k = 0; k < 3; ++k) {
        fs::path track = folder / ("0" + std::to_string(k + 1) + " " + titles[k] + ".mp3");
        ASSERT_TRUE(fs::exists(track)) << track;
        Outcome tag = MustRun({"ffprobe", "-v", "error", "-show_entries", "format_tags=title",
                               "-of", "csv=p=0", track});
        EXPECT_EQ(tag.out, std::string(titles[k]) + "\n");
        EXPECT_TRUE(ReadWithMutagen(track).marks.empty());
        if (!exact) continue;
        long from = starts[k] * kRate / 1000;
        long to = k < 2 ? starts[k + 1] * kRate / 1000 : static_cast<long>(sourceSamples);
        EXPECT_EQ(static_cast<long>(Decode(track, Decoder::kFfmpeg).size() / 2), to - from);
      }
    }
  }
}

}  // namespace
}  // namespace partwell::e2e
