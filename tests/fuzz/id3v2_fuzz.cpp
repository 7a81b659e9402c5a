// Fuzz target for the ID3v2 reader and the track tag writer. The input is a file's bytes:
// its start is read as a leading ID3v2 tag, its last 128 bytes as a trailer. Whatever the
// bytes, reading must not touch memory it does not own; the track's tag must read back as
// an ID3v2.3 tag that carries the track's fields, and making it again from what it holds
// must give the same bytes (so every frame it took survives a v2.3 reader unchanged). The
// track's trailer keeps the source's album, year, comment and genre. The tag's chapters, written
// again as our own, read back as written: the same times and titles under one top-level
// ordered table. A broken promise aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tags/chapters.h"
#include "tags/id3v2_reader.h"
#include "tags/track_tag.h"

namespace {

using partwell::SourceTags;
using partwell::TrackTagFields;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The fields a track may get. Where the artist is given, so is the album artist: otherwise
// the track's own artist would stand in for the album artist of a source that has none when
// the tag is made again.
const TrackTagFields kFields[] = {
    {},
    {"Caf\xC3\xA9", "", 1, 1, "", ""},
    {"\xE6\x9D\xB1\xE4\xBA\xAC",
     "\xC3\x9Cn\xC3\xAF"
     "c\xC3\xB8"
     "d\xC3\xA9",
     7, 12, "Album", "Band"},
    {"", "", 300, 300, "Disc", ""},
};

std::string_view AsText(const std::vector<unsigned char>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void CheckTrailer(const SourceTags& source, const TrackTagFields& fields) {
  partwell::Trailer trailer = partwell::MakeTrackTrailer(source, fields);
  Require(trailer.present() == source.trailer.present());
  if (!trailer.present()) return;
  partwell::Id3v1Fields track = partwell::DecodeTrailer(trailer);
  Require(track.album == source.id3v1.album && track.year == source.id3v1.year &&
          track.genre == source.id3v1.genre);
  Require(track.track == (fields.number <= 255 ? fields.number : 0));
}

void CheckChapters(const partwell::Id3v2Tag& source) {
  partwell::ChapterList chapters = partwell::ReadChapters(source);
  std::vector<partwell::ChapterMark> marks;
  for (const partwell::Chapter& chapter : chapters.chapters) {
    if (marks.size() == partwell::kMaxWrittenChapters) break;
    marks.push_back({chapter.title, chapter.startMs, chapter.endMs});
  }
  std::vector<unsigned char> tag = partwell::BuildTagWithChapters(source, marks);
  partwell::ChapterList again = partwell::ReadChapters(partwell::ParseId3v2Tag(AsText(tag)));
  Require(again.tables.size() == 1 && again.tables[0].topLevel && again.tables[0].ordered);
  Require(again.tables[0].children.size() == marks.size() && again.chapters.size() == marks.size());
  for (size_t i = 0; i < marks.size(); ++i) {
    const partwell::Chapter& read = again.chapters[i];
    Require(read.id == again.tables[0].children[i] && read.title == marks[i].title &&
            read.startMs == marks[i].startMs && read.endMs == marks[i].endMs);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SourceTags source;
  source.id3v2 =
      partwell::ParseId3v2Tag(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size >= partwell::kTrailerBytes && std::memcmp(data + size - 128, "TAG", 3) == 0) {
    std::memcpy(source.trailer.bytes, data + size - 128, partwell::kTrailerBytes);
  }
  source.id3v1 = partwell::DecodeTrailer(source.trailer);
  const TrackTagFields& fields = kFields[size > 0 ? data[0] % 4 : 0];

  std::vector<unsigned char> tag = partwell::BuildTrackTag(source, fields);
  SourceTags track;
  track.id3v2 = partwell::ParseId3v2Tag(AsText(tag));
  Require(track.id3v2.version == 3);
  Require(partwell::FrameText(track.id3v2, "TIT2") == fields.title);
  if (!fields.artist.empty()) Require(partwell::FrameText(track.id3v2, "TPE1") == fields.artist);
  if (!fields.album.empty()) Require(partwell::FrameText(track.id3v2, "TALB") == fields.album);
  std::string number =
      fields.number ? std::to_string(fields.number) + "/" + std::to_string(fields.count) : "";
  Require(partwell::FrameText(track.id3v2, "TRCK") == number);

  track.trailer = source.trailer;
  track.id3v1 = source.id3v1;
  Require(partwell::BuildTrackTag(track, fields) == tag);
  CheckTrailer(source, fields);
  CheckChapters(source.id3v2);
  return 0;
}
