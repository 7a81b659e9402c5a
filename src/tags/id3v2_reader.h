// What a track's tag takes from its source: the ID3v2 tag at the start of the source
// (versions 2.2 to 2.4) and the ID3v1 trailer at its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/file.h"
#include "mpeg/id3v1_trailer.h"

namespace partwell {

// A tag whose header gives a size above this is not read: its frames are not taken.
constexpr uint32_t kMaxId3v2TagBytes = uint32_t{16} << 20;
// The most frames taken from one tag; those after them are left out.
constexpr size_t kMaxId3v2Frames = 65536;

// The v2.3 frame flags.
constexpr uint16_t kFrameCompressed = 0x0080;  // extras: the decompressed size (4 bytes)
constexpr uint16_t kFrameEncrypted = 0x0040;   // extras: the encryption method (1 byte)
constexpr uint16_t kFrameGrouped = 0x0020;     // extras: the group (1 byte)

// One frame as an ID3v2.3 tag carries it (see ConvertToV23).
struct Id3v2Frame {
  std::string id;                      // the four-character v2.3 id
  uint16_t flags = 0;                  // the v2.3 flags
  std::vector<unsigned char> extras;   // the bytes the flags call for, in v2.3 order
  std::vector<unsigned char> content;  // the rest of the frame

  // Compressed or encrypted: its content cannot be read, only copied.
  bool sealed() const { return (flags & (kFrameCompressed | kFrameEncrypted)) != 0; }
};

struct Id3v2Tag {
  int version = 0;  // 2, 3 or 4; 0 when there is no tag or it is not read
  std::vector<Id3v2Frame> frames;
};

// Reads the ID3v2 tag at the start of `file`, the first bytes of a file (the whole tag, or
// as much of it as the file holds). Frames come in the tag's order with unsynchronisation
// undone, v2.2 ids mapped to their v2.3 ids, v2.4 flags and contents in their v2.3 forms;
// frames that v2.3 cannot carry, empty frames, frames that run past the tag's end and frames
// whose flags ask to be dropped when the audio changes are left out. Reads nothing outside
// `file` or past the tag's declared size.
Id3v2Tag ParseId3v2Tag(std::string_view file);

// The frames of `bytes`, a run of frames of a tag of `version` (3 or 4) without the tag's
// header, read as ParseId3v2Tag reads a tag's frames: the sub-frames of a CHAP or CTOC frame.
std::vector<Id3v2Frame> ParseId3v2Frames(int version, std::string_view bytes);

// The text of the tag's first frame `id` (a text frame, such as "TPE1"), in UTF-8; empty
// when there is none.
std::string FrameText(const Id3v2Tag& tag, std::string_view id);

// The fields of an ID3v1 trailer, in UTF-8, without the zero bytes and spaces that pad them.
struct Id3v1Fields {
  std::string title, artist, album, year, comment;
  int track = 0;    // the ID3v1.1 track number; 0 for none
  int genre = 255;  // the genre number; 255 for none
};
// The fields of `trailer`; all empty when it is absent.
Id3v1Fields DecodeTrailer(const Trailer& trailer);

struct SourceTags {
  Id3v2Tag id3v2;
  Trailer trailer;
  Id3v1Fields id3v1;
  // The bytes the leading ID3v2 tag takes in the file (header, frames, padding and a v2.4
  // footer, as its header states them, at most the file's size); 0 without a tag that is read.
  uint64_t id3v2Bytes = 0;
};

// Reads the leading ID3v2 tag and the ID3v1 trailer of an open file (a tag that cannot be
// read leaves `id3v2` empty). Nothing when a read of the file fails or ends before the file's
// size. The file's position is left undefined.
std::optional<SourceTags> ReadSourceTags(File& file);

}  // namespace partwell
