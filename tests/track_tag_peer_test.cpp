// Track tags as a listener's software shows them. Each track is made as a tagged split
// makes it (BuildTrackTag's tag, the source's audio, MakeTrackTrailer's trailer), and by
// `mp3partwell split --tags` in both modes from a CUE sheet, and read back with mutagen
// (mid3v2), eyeD3 and ffprobe. The sources are a real MP3 (sox and lame)
// tagged by mutagen or lame, or byte by byte for the forms no tool writes (ID3v2.2, and
// ID3v2.4 with unsynchronisation, an extended header and a footer); mutagen reads each
// hand-made source first, so that it is what it claims to be.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "io/file.h"
#include "mpeg/source_probe.h"
#include "tags/track_tag.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;
using test::Concat;
using test::Id3v2FrameBytes;
using test::Id3v2TagBytes;
using test::RunShell;
using test::ShellQuoted;
using test::TextBytes;

// Debian's python3, which has mutagen (a python3 earlier on the PATH may not).
const std::string kPython = "/usr/bin/python3";

// What a reader shows of a tag.
struct Shown {
  std::string title, artist, album, track, year, genre;
};

std::string Describe(const Shown& s) {
  return "title=" + s.title + " artist=" + s.artist + " album=" + s.album + " track=" + s.track +
         " year=" + s.year + " genre=" + s.genre;
}

struct Reader {
  const char* command;
  const char* separator;
  const char* keys[6];  // title, artist, album, track, year, genre
};
const Reader kMid3v2 = {"mid3v2 -l", "=", {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON"}};
const Reader kTagReaders[] = {
    kMid3v2,
    {"eyeD3 --no-color", ": ", {"title", "artist", "album", "track", "recording date", "genre"}},
    {"ffprobe -v error -show_entries format_tags -of default=nw=1",
     "=",
     {"TAG:title", "TAG:artist", "TAG:album", "TAG:track", "TAG:date", "TAG:genre"}},
};
const Reader kTrailerReader = {
    "eyeD3 -1 --no-color", ": ", {"title", "artist", "album", "track", "release date", "genre"}};

// Runs the reader on `path`: its output, and its lines as key and value.
std::map<std::string, std::string> Read(const Reader& reader, const std::string& path,
                                        std::string& output) {
  int status = 0;
  output = RunShell(std::string(reader.command) + " " + ShellQuoted(path), status);
  EXPECT_EQ(status, 0) << reader.command << " (scripts/deps.sh native):\n" << output;
  std::map<std::string, std::string> values;
  std::string text = output, line;
  for (size_t tab; (tab = text.find("\t\t")) != std::string::npos;) {
    text.replace(tab, 2, "\n");  // eyeD3 puts two fields on one line
  }
  std::istringstream lines(text);
  while (std::getline(lines, line)) {
    size_t at = line.find(reader.separator);
    if (at != std::string::npos) {
      values.emplace(line.substr(0, at), line.substr(at + std::string(reader.separator).size()));
    }
  }
  return values;
}

Shown ShownBy(const Reader& reader, const std::string& path, std::string& output) {
  std::map<std::string, std::string> values = Read(reader, path, output);
  std::string genre = values[reader.keys[5]];
  genre = genre.substr(0, genre.find(" (id "));  // eyeD3 adds the genre's number
  return {values[reader.keys[0]], values[reader.keys[1]], values[reader.keys[2]],
          values[reader.keys[3]], values[reader.keys[4]], genre};
}

// ---- Sources

// Text in the encodings hand-made tags use.
Bytes Latin1(const std::string& text) { return Concat({{0}, TextBytes(text)}); }
Bytes Utf8(const std::string& text) { return Concat({{3}, TextBytes(text)}); }
Bytes Utf16(const std::u16string& text, bool bigEndian) {
  Bytes bytes{static_cast<unsigned char>(bigEndian ? 2 : 1)};
  if (!bigEndian) bytes.insert(bytes.end(), {0xFF, 0xFE});
  for (char16_t unit : text) {
    auto high = static_cast<unsigned char>(unit >> 8), low = static_cast<unsigned char>(unit);
    bytes.insert(bytes.end(), bigEndian ? std::initializer_list<unsigned char>{high, low}
                                        : std::initializer_list<unsigned char>{low, high});
  }
  return bytes;
}

// A picture of `size` bytes after `header`, full of 0xFF pairs that unsynchronisation changes.
Bytes Picture(Bytes header, size_t size) {
  std::mt19937 random(static_cast<unsigned>(size));
  while (header.size() < size) {
    header.push_back(header.size() % 7 == 0 ? 0xFF : static_cast<unsigned char>(random()));
  }
  header.back() = 0xFF;
  return header;
}

const Bytes kJpeg = Picture({0xFF, 0xD8, 0xFF, 0xE0}, 3000);
const Bytes kLargeJpeg = Picture({0xFF, 0xD8, 0xFF, 0xE0}, 2 << 20);
const Bytes kPng = Picture({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, 1500);

// ID3v2.4: an extended header, a footer, the tag's unsynchronisation flag and every frame
// unsynchronised; text in UTF-8 and UTF-16BE, a time stamp, a genre number, a picture with a
// data length indicator.
Bytes V24Tag() {
  constexpr uint16_t kUnsynchronisedWithLength = 0x0003;
  Bytes picture = Concat({Latin1("image/jpeg"), {0, 3}, TextBytes("Front"), {0}, kJpeg});
  Bytes length = {0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) length[3 - i] = (picture.size() >> (7 * i)) & 0x7F;
  Bytes frames = Concat({
      Id3v2FrameBytes(4, "TIT2", Utf8("Whole show")),
      Id3v2FrameBytes(4, "TPE1", Utf16(u"\u6771\u4EAC Orchestra", true)),
      Id3v2FrameBytes(4, "TALB",
                      Utf8("\xC3\x9Cn\xC3\xAF"
                           "c\xC3\xB8"
                           "d\xC3\xA9")),
      Id3v2FrameBytes(4, "TDRC", Utf8("2004-05-06T20:00")),
      Id3v2FrameBytes(4, "TCON", Utf8("17")),
      Id3v2FrameBytes(4, "TCOM", Concat({Utf8("Ann"), {0}, TextBytes("Bob")})),
      Id3v2FrameBytes(4, "TLEN", Utf8("1000")),
      Id3v2FrameBytes(4, "COMM", Concat({Utf8("eng"), {0}, TextBytes("Caf\xC3\xA9 notes")})),
      Id3v2FrameBytes(4, "APIC", Concat({length, test::Unsynchronised(picture)}),
                      kUnsynchronisedWithLength),
  });
  Bytes extendedHeader = {0, 0, 0, 6, 1, 0};
  return Id3v2TagBytes(4, 0x80 | 0x40 | 0x10, Concat({extendedHeader, frames}));
}

// ID3v2.2, unsynchronised as a whole: three-letter ids, a PIC picture, a frame v2.3 has no
// place for (CRM).
Bytes V22Tag() {
  Bytes frames = Concat({
      Id3v2FrameBytes(2, "TT2", Latin1("Whole")),
      Id3v2FrameBytes(2, "TP1", Latin1("Caf\xE9")),
      Id3v2FrameBytes(2, "TAL", Utf16(u"\u6771\u4EAC", false)),
      Id3v2FrameBytes(2, "TYE", Latin1("1999")),
      Id3v2FrameBytes(2, "TCO", Latin1("(13)")),
      Id3v2FrameBytes(2, "TLE", Latin1("1000")),
      Id3v2FrameBytes(2, "CRM", Concat({TextBytes("owner"), {0}, TextBytes("x"), {0}, kPng})),
      Id3v2FrameBytes(2, "PIC", Concat({Latin1("PNG"), {3}, TextBytes("Cover"), {0}, kPng})),
  });
  return Id3v2TagBytes(2, 0x80, test::Unsynchronised(frames));
}

// mutagen writes an ID3v2.3 tag and an ID3v1 trailer: argv[1] the MP3, argv[2] the cover.
const char kMutagenV23[] = R"(
import sys, mutagen.id3 as m
t = m.ID3()
t.add(m.TIT2(encoding=0, text="Whole album"))
t.add(m.TPE1(encoding=0, text="Band"))
t.add(m.TALB(encoding=1, text="Album"))
t.add(m.TDRC(encoding=0, text="2001"))
t.add(m.TCON(encoding=0, text="Rock"))
t.add(m.TRCK(encoding=0, text="1/1"))
t.add(m.TLEN(encoding=0, text="1000"))
t.add(m.UFID(owner="http://example.org", data=b"id"))
t.add(m.COMM(encoding=1, lang="eng", desc="", text="Kept"))
t.add(m.TXXX(encoding=0, desc="Key", text="Value"))
t.add(m.APIC(encoding=0, mime="image/jpeg", type=3, desc="Cover", data=open(sys.argv[2], "rb").read()))
t.save(sys.argv[1], v2_version=3, v1=2)
)";

// A CUE sheet of `fields.count` tracks 0.2 s apart, track `fields.number` with the title
// and artist of `fields`, the album and album artist as the disc's TITLE and PERFORMER.
std::string SheetOf(const TrackTagFields& fields) {
  std::string sheet;
  if (!fields.albumArtist.empty()) sheet += "PERFORMER \"" + fields.albumArtist + "\"\r\n";
  if (!fields.album.empty()) sheet += "TITLE \"" + fields.album + "\"\r\n";
  sheet += "FILE \"source.mp3\" MP3\r\n";
  for (int n = 1; n <= fields.count; ++n) {
    char line[40];
    std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\r\n", n);
    sheet += line;
    if (n == fields.number) {
      sheet += "    TITLE \"" + fields.title + "\"\r\n";
      if (!fields.artist.empty()) sheet += "    PERFORMER \"" + fields.artist + "\"\r\n";
    }
    std::snprintf(line, sizeof line, "    INDEX 01 00:%02d:%02d\r\n", (n - 1) / 5,
                  (n - 1) % 5 * 15);
    sheet += line;
  }
  return sheet;
}

class TrackTagPeerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempDir;
    int status = 0;
    std::string wave = folder_->File("plain.wav");
    std::string output = RunShell("sox -n -r 44100 -c 2 " + ShellQuoted(wave) +
                                      " synth 3 sine 440 && lame --quiet -b 128 " +
                                      ShellQuoted(wave) + " " + ShellQuoted(Path("plain.mp3")),
                                  status);
    ASSERT_EQ(status, 0) << "sox and lame are needed (scripts/deps.sh native): " << output;
  }
  static void TearDownTestSuite() { delete folder_; }

  static std::string Path(const std::string& name) { return folder_->File(name); }

  static void Shell(const std::string& command) {
    int status = 0;
    std::string output = RunShell(command, status);
    ASSERT_EQ(status, 0) << command << ":\n" << output;
  }

  // Splits `source` with `arguments` and --tags (and --exact) into a new folder, whose path
  // is returned; the tracks are named by number ("01.mp3").
  static std::string Split(const std::string& source, const std::string& arguments, bool exact,
                           bool tags = true) {
    static int serial = 0;
    std::string folder = Path("split" + std::to_string(++serial));
    Shell("mkdir " + ShellQuoted(folder) + " && " + PARTWELL_CLI + " split " + ShellQuoted(source) +
          " " + arguments + (tags ? " --tags" : "") + (exact ? " --exact" : "") +
          " --name %track% --folder " + ShellQuoted(folder));
    return folder;
  }

  // The track a tagged split makes of the whole of `source`.
  static void MakeTrack(const std::string& source, const TrackTagFields& fields,
                        const std::string& track) {
    File file = File::OpenForReading(source);
    std::optional<SourceTags> tags = ReadSourceTags(file);
    ASSERT_TRUE(tags);
    uint64_t audio = SkipLeadingId3v2Tags(file).value();
    Bytes bytes = test::ReadBytes(source);
    Trailer trailer = MakeTrackTrailer(*tags, fields);
    Bytes out = BuildTrackTag(*tags, fields);
    out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(audio),
               bytes.end() - (tags->trailer.present() ? kTrailerBytes : 0));
    if (trailer.present()) out.insert(out.end(), trailer.bytes, trailer.bytes + kTrailerBytes);
    test::WriteBytes(track, out);
  }

  // The first picture of the file's ID3v2 tag, as mutagen gives it.
  static Bytes PictureOf(const std::string& path) {
    std::string out = path + ".picture";
    Shell(kPython + " -c " +
          ShellQuoted("import sys, mutagen.id3 as m; open(sys.argv[2], 'wb')"
                      ".write(m.ID3(sys.argv[1]).getall('APIC')[0].data)") +
          " " + ShellQuoted(path) + " " + ShellQuoted(out));
    return test::ReadBytes(out);
  }

  // The tag's version and the frames whose text a v2.3 reader cannot read (UTF-8, UTF-16BE),
  // as mutagen reads them.
  static std::string UnreadableFramesOf(const std::string& path) {
    int status = 0;
    std::string output = RunShell(
        kPython + " -c " +
            ShellQuoted("import sys, mutagen.id3 as m; t = m.ID3(sys.argv[1], translate=False); "
                        "print(t.version, sorted(f.HashKey for f in t.values() "
                        "if getattr(f, 'encoding', 0) not in (0, 1)))") +
            " " + ShellQuoted(path),
        status);
    EXPECT_EQ(status, 0) << output;
    return output;
  }

  static inline test::TempDir* folder_ = nullptr;
};

TEST_F(TrackTagPeerTest, ReadersShowEachTracksTagsAndTheSourcesCover) {
  const std::string plain = Path("plain.mp3");
  struct Case {
    const char* name;
    std::function<void(const std::string& source)> makeSource;
    TrackTagFields fields;
    Shown tag;                              // what every reader shows of the track's ID3v2 tag
    std::vector<std::string> mutagenShows;  // more mid3v2 lines of the track
    Bytes picture;                          // the source's picture; empty: none
    Shown trailer;                          // eyeD3 of the track's trailer; empty: none
    std::vector<std::string> sourceShows;   // mid3v2 lines of a hand-made source
  };
  auto handMade = [plain](const Bytes& tag) {
    return [plain, tag](const std::string& source) {
      test::WriteBytes(source, Concat({tag, test::ReadBytes(plain)}));
    };
  };
  const Case cases[] = {
      {"ID3v2.3 and ID3v1 by mutagen, 2 MB cover",
       [plain](const std::string& source) {
         test::WriteBytes(Path("cover.jpg"), kLargeJpeg);
         Shell("cp " + ShellQuoted(plain) + " " + ShellQuoted(source) + " && " + kPython + " -c " +
               ShellQuoted(kMutagenV23) + " " + ShellQuoted(source) + " " +
               ShellQuoted(Path("cover.jpg")));
       },
       {"Caf\xC3\xA9", "\xE6\x9D\xB1\xE4\xBA\xAC", 1, 3, "Live at Home", "The Band"},
       {"Caf\xC3\xA9", "\xE6\x9D\xB1\xE4\xBA\xAC", "Live at Home", "1/3", "2001", "Rock"},
       {"TPE2=The Band", "COMM==eng=Kept", "TXXX=Key=Value"},
       kLargeJpeg,
       {"Caf\xC3\xA9", "??", "Album", "1", "2001", "Rock"},
       {}},
      {"ID3v2.4 unsynchronised, extended header, footer",
       handMade(V24Tag()),
       {"\xE6\x9D\xB1\xE4\xBA\xAC", "", 2, 3, "", ""},
       {"\xE6\x9D\xB1\xE4\xBA\xAC", "\xE6\x9D\xB1\xE4\xBA\xAC Orchestra",
        "\xC3\x9Cn\xC3\xAF"
        "c\xC3\xB8"
        "d\xC3\xA9",
        "2/3", "2004", "Rock"},
       {"TPE2=\xE6\x9D\xB1\xE4\xBA\xAC Orchestra", "COMM==eng=Caf\xC3\xA9 notes", "TCOM=Ann/Bob"},
       kJpeg,
       {},
       {"TPE1=\xE6\x9D\xB1\xE4\xBA\xAC Orchestra", "TDRC=2004-05-06 20:00", "TCON=Rock",
        "TCOM=Ann / Bob", "COMM==eng=Caf\xC3\xA9 notes",
        "APIC=cover front, Front (image/jpeg, 3000 bytes)"}},
      {"ID3v2.2 unsynchronised",
       handMade(V22Tag()),
       {"\xC3\x9Cn\xC3\xAF"
        "c\xC3\xB8"
        "d\xC3\xA9",
        "", 3, 3, "Live", ""},
       {"\xC3\x9Cn\xC3\xAF"
        "c\xC3\xB8"
        "d\xC3\xA9",
        "Caf\xC3\xA9", "Live", "3/3", "1999", "Pop"},
       {"TPE2=Caf\xC3\xA9", "APIC=cover front, Cover (image/png, 1500 bytes)"},
       kPng,
       {},
       {"TALB=\xE6\x9D\xB1\xE4\xBA\xAC", "TPE1=Caf\xC3\xA9",
        "APIC=cover front, Cover (PNG, 1500 bytes)"}},
      {"ID3v1 alone, by lame, twelve tracks",
       [](const std::string& source) {
         Shell(
             "lame --quiet -b 128 --id3v1-only --tt Old --ta Band --tl Record --ty 1987 "
             "--tg Pop --tn 5 " +
             ShellQuoted(Path("plain.wav")) + " " + ShellQuoted(source));
       },
       {"\xC3\x9Cn\xC3\xAF"
        "c\xC3\xB8"
        "d\xC3\xA9",
        "", 12, 12, "", ""},
       {"\xC3\x9Cn\xC3\xAF"
        "c\xC3\xB8"
        "d\xC3\xA9",
        "Band", "Record", "12/12", "1987", "Pop"},
       {"TPE2=Band"},
       {},
       {"\xC3\x9Cn\xC3\xAF"
        "c\xC3\xB8"
        "d\xC3\xA9",
        "Band", "Record", "12", "1987", "Pop"},
       {}},
  };
  // What every reader shows of one track of the case.
  auto check = [](const Case& c, const std::string& track) {
    SCOPED_TRACE(track);
    std::string output, mutagen;
    for (const Reader& reader : kTagReaders) {
      EXPECT_EQ(Describe(ShownBy(reader, track, output)), Describe(c.tag))
          << reader.command << ":\n"
          << output;
      if (reader.command == kMid3v2.command) mutagen = output;
    }
    for (const std::string& line : c.mutagenShows) {
      EXPECT_NE(mutagen.find(line + "\n"), std::string::npos) << line << " in\n" << mutagen;
    }
    EXPECT_EQ(UnreadableFramesOf(track), "(2, 3, 0) []\n");
    for (const char* dropped : {"TLEN=", "UFID=", "TSIZ="}) {
      EXPECT_EQ(mutagen.find(dropped), std::string::npos) << dropped << " in\n" << mutagen;
    }
    if (!c.picture.empty()) {
      EXPECT_TRUE(PictureOf(track) == c.picture);
    }
    Bytes written = test::ReadBytes(track);
    bool hasTrailer = written.size() >= kTrailerBytes &&
                      std::equal(written.end() - kTrailerBytes, written.end() - kTrailerBytes + 3,
                                 TextBytes("TAG").begin());
    EXPECT_EQ(hasTrailer, !c.trailer.title.empty());
    if (hasTrailer) {
      EXPECT_EQ(Describe(ShownBy(kTrailerReader, track, output)), Describe(c.trailer)) << output;
    }
  };
  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string source = Path("source" + std::to_string(++serial) + ".mp3");
    std::string track = Path("track" + std::to_string(serial) + ".mp3");
    c.makeSource(source);
    std::string output;
    if (!c.sourceShows.empty()) {
      ShownBy(kMid3v2, source, output);
      for (const std::string& line : c.sourceShows) {
        EXPECT_NE(output.find(line + "\n"), std::string::npos) << line << " in\n" << output;
      }
    }
    Bytes before = test::ReadBytes(source);
    MakeTrack(source, c.fields, track);
    check(c, track);

    // The same fields from a sheet: the case's track among others 0.2 s apart, the album
    // and its artist as the disc's.
    std::string sheet = Path("sheet" + std::to_string(serial) + ".cue");
    test::WriteBytes(sheet, TextBytes(SheetOf(c.fields)));
    for (bool exact : {false, true}) {
      SCOPED_TRACE(exact ? "split --exact" : "split");
      std::string folder = Split(source, "--cue " + ShellQuoted(sheet), exact);
      char name[16];
      std::snprintf(name, sizeof name, "/%02d.mp3", c.fields.number);
      check(c, folder + name);
    }
    EXPECT_EQ(test::ReadBytes(source), before);
  }
}

// The N of "n/N" is the number of tracks each mode writes, found before the first one is
// written: list entries past the end of the audio write no track, equal segments as many
// as the audio holds. Apart from its ID3v2 tag, a tagged track is the untagged one.
TEST_F(TrackTagPeerTest, TrackNumbersCountTheTracksWrittenAndTheTagIsAllThatIsAdded) {
  const struct {
    const char* arguments;
    const char* numbers;  // every track's TRCK, as mutagen reads them
  } cases[] = {
      {"--times 0:00,0:01,0:05,0:07", "1/2 2/2"},
      {"--times 0:00,0:00.90 --equal", "1/4 2/4 3/4 4/4"},
  };
  for (const auto& c : cases) {
    for (bool exact : {false, true}) {
      SCOPED_TRACE(std::string(c.arguments) + (exact ? " --exact" : ""));
      std::string tagged = Split(Path("plain.mp3"), c.arguments, exact);
      std::string untagged = Split(Path("plain.mp3"), c.arguments, exact, false);
      std::vector<std::string> names;
      for (const auto& file : std::filesystem::directory_iterator(untagged)) {
        names.push_back(file.path().filename().string());
      }
      std::sort(names.begin(), names.end());
      std::string paths;
      for (const std::string& name : names) {
        paths += " " + ShellQuoted(tagged + "/" + name);
        Bytes plain = test::ReadBytes(untagged + "/" + name);
        Bytes bytes = test::ReadBytes(tagged + "/" + name);
        ASSERT_GT(bytes.size(), 10u);
        size_t tagBytes = 10 + (size_t{bytes[6]} << 21 | size_t{bytes[7]} << 14 |
                                size_t{bytes[8]} << 7 | bytes[9]);
        EXPECT_TRUE(Bytes(bytes.begin() + std::min(tagBytes, bytes.size()), bytes.end()) == plain)
            << name;
      }
      int status = 0;
      std::string numbers =
          RunShell(kPython + " -c " +
                       ShellQuoted("import sys, mutagen.id3 as m; "
                                   "print(*(m.ID3(p)['TRCK'] for p in sys.argv[1:]))") +
                       paths,
                   status);
      EXPECT_EQ(numbers, std::string(c.numbers) + "\n");
    }
  }
}

}  // namespace
}  // namespace partwell
