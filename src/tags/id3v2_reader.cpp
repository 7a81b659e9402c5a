#include "tags/id3v2_reader.h"

#include <algorithm>

#include "mpeg/byte_order.h"
#include "mpeg/id3v2_header.h"
#include "tags/id3v2_text.h"
#include "tags/v23_frames.h"
#include "text/unicode.h"

namespace partwell {
namespace {

using Bytes = std::vector<unsigned char>;

// v2.4 frame flags.
constexpr uint16_t kV24TagAlterDiscard = 0x4000;
constexpr uint16_t kV24FileAlterDiscard = 0x2000;
constexpr uint16_t kV24ReadOnly = 0x1000;
constexpr uint16_t kV24Grouped = 0x0040;
constexpr uint16_t kV24Compressed = 0x0008;
constexpr uint16_t kV24Encrypted = 0x0004;
constexpr uint16_t kV24Unsynchronised = 0x0002;
constexpr uint16_t kV24DataLength = 0x0001;
// v2.3 frame status flags.
constexpr uint16_t kV23TagAlterDiscard = 0x8000;
constexpr uint16_t kV23FileAlterDiscard = 0x4000;
constexpr uint16_t kV23ReadOnly = 0x2000;

unsigned char Byte(std::string_view bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

const unsigned char* Data(std::string_view bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}

uint32_t BigEndian(std::string_view bytes, int count) { return ReadBigEndian(Data(bytes), count); }
std::optional<uint32_t> SyncSafe(std::string_view bytes) { return ReadSyncSafe32(Data(bytes)); }

// A header that this reader reads: of a version from 2 to 4, with a size no larger than
// kMaxId3v2TagBytes.
std::optional<Id3v2Header> ReadTagHeader(std::string_view file) {
  std::optional<Id3v2Header> header = ParseId3v2Header(Data(file), file.size());
  if (!header || header->version < 2 || header->version > 4 || header->size > kMaxId3v2TagBytes) {
    return std::nullopt;
  }
  return header;
}

// Undoes unsynchronisation: every 0xFF 0x00 becomes 0xFF.
std::string Resynchronise(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += bytes[i];
    if (Byte(bytes, i) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0) ++i;
  }
  return out;
}

// Leaves `body` after the extended header; false when the header runs past the tag.
bool SkipExtendedHeader(int version, std::string_view& body) {
  if (body.size() < 4) return false;
  uint64_t length;  // with its size bytes
  if (version == 3) {
    length = uint64_t{BigEndian(body, 4)} + 4;
  } else {
    std::optional<uint32_t> size = SyncSafe(body);
    if (!size || *size < 6) return false;
    length = *size;
  }
  if (length > body.size()) return false;
  body.remove_prefix(static_cast<size_t>(length));
  return true;
}

bool IsFrameId(std::string_view id) {
  return std::all_of(id.begin(), id.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// Fills `frame` with the v2.3 form of a frame with `id`, `flags` and the bytes `data` after
// its header; false for a frame that is left out.
bool ReadFrame(const Id3v2Header& header, std::string_view id, uint16_t flags,
               std::string_view data, Id3v2Frame& frame) {
  std::string resynchronised;
  size_t extras = 0;   // the bytes after the header that precede the content
  size_t skipped = 0;  // the bytes after the extras that v2.3 does not have
  if (header.version == 2) {
    id = V23IdOfV22Id(id);
    if (id.empty()) return false;
  } else if (header.version == 3) {
    if (flags & kV23FileAlterDiscard) return false;
    frame.flags = flags;
    extras = (flags & kFrameCompressed ? 4 : 0) + (flags & kFrameEncrypted ? 1 : 0) +
             (flags & kFrameGrouped ? 1 : 0);
  } else {
    // A v2.4 compressed frame would need inflating to be written in v2.3 form.
    if (flags & (kV24FileAlterDiscard | kV24Compressed | kV24Encrypted)) return false;
    if ((flags & kV24Unsynchronised) || (header.flags & kId3v2Unsynchronised)) {
      resynchronised = Resynchronise(data);
      data = resynchronised;
    }
    frame.flags = (flags & kV24TagAlterDiscard ? kV23TagAlterDiscard : 0) |
                  (flags & kV24ReadOnly ? kV23ReadOnly : 0) |
                  (flags & kV24Grouped ? kFrameGrouped : 0);
    extras = flags & kV24Grouped ? 1 : 0;
    skipped = flags & kV24DataLength ? 4 : 0;
  }
  if (data.size() < extras + skipped) return false;
  frame.id = std::string(id);
  frame.extras.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(extras));
  data.remove_prefix(extras + skipped);
  frame.content.assign(data.begin(), data.end());
  if (frame.content.empty()) return false;
  return frame.sealed() || ConvertToV23(header.version, frame.id, frame.content);
}

uint32_t FrameSize(int version, std::string_view sizeBytes) {
  if (version == 2) return BigEndian(sizeBytes, 3);
  if (version == 3) return BigEndian(sizeBytes, 4);
  // Syncsafe in v2.4; some writers put a plain number there, which shows in a top bit.
  return SyncSafe(sizeBytes).value_or(BigEndian(sizeBytes, 4));
}

void ReadFrames(const Id3v2Header& header, std::string_view body, Id3v2Tag& tag) {
  size_t idBytes = header.version == 2 ? 3 : 4;
  size_t headerBytes = header.version == 2 ? 6 : 10;
  while (body.size() >= headerBytes && tag.frames.size() < kMaxId3v2Frames) {
    std::string_view id = body.substr(0, idBytes);
    if (!IsFrameId(id)) break;  // padding, or bytes that are no frame: the frames end
    uint32_t size = FrameSize(header.version, body.substr(idBytes));
    uint16_t flags = header.version == 2 ? 0 : static_cast<uint16_t>(BigEndian(body.substr(8), 2));
    body.remove_prefix(headerBytes);
    if (size > body.size()) break;  // a frame that runs past the tag
    Id3v2Frame frame;
    if (ReadFrame(header, id, flags, body.substr(0, size), frame)) {
      tag.frames.push_back(std::move(frame));
    }
    body.remove_prefix(size);
  }
}

std::string TrailerText(const Trailer& trailer, size_t at, size_t length) {
  std::string_view text(reinterpret_cast<const char*>(trailer.bytes) + at, length);
  text = text.substr(0, text.find('\0'));
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return Latin1ToUtf8(text);
}

}  // namespace

Id3v2Tag ParseId3v2Tag(std::string_view file) {
  Id3v2Tag tag;
  std::optional<Id3v2Header> header = ReadTagHeader(file);
  if (!header) return tag;
  tag.version = header->version;
  std::string_view body = file.substr(kId3v2HeaderBytes, header->size);
  std::string resynchronised;
  if ((header->flags & kId3v2Unsynchronised) && header->version < 4) {
    resynchronised = Resynchronise(body);  // v2.4 marks this frame by frame
    body = resynchronised;
  }
  if (header->flags & kId3v2ExtendedHeader) {
    if (header->version == 2 || !SkipExtendedHeader(header->version, body)) return tag;
  }
  ReadFrames(*header, body, tag);
  return tag;
}

std::vector<Id3v2Frame> ParseId3v2Frames(int version, std::string_view bytes) {
  Id3v2Tag tag;
  Id3v2Header header;
  header.version = version;
  if (version == 3 || version == 4) ReadFrames(header, bytes, tag);
  return std::move(tag.frames);
}

std::string FrameText(const Id3v2Tag& tag, std::string_view id) {
  for (const Id3v2Frame& frame : tag.frames) {
    if (frame.id != id || frame.sealed() || frame.content.empty()) continue;
    std::vector<std::string> strings =
        DecodeStrings(frame.content[0], ByteView(frame.content).substr(1));
    return strings.empty() ? std::string() : strings[0];
  }
  return {};
}

Id3v1Fields DecodeTrailer(const Trailer& trailer) {
  Id3v1Fields fields;
  if (!trailer.present()) return fields;
  bool numbered = trailer.bytes[kTrailerNumberMark] == 0 && trailer.bytes[kTrailerNumber] != 0;
  fields.title = TrailerText(trailer, kTrailerTitle, kTrailerTextBytes);
  fields.artist = TrailerText(trailer, kTrailerArtist, kTrailerTextBytes);
  fields.album = TrailerText(trailer, kTrailerAlbum, kTrailerTextBytes);
  fields.year = TrailerText(trailer, kTrailerYear, kTrailerYearBytes);
  fields.comment = TrailerText(trailer, kTrailerComment,
                               numbered ? kTrailerNumberMark - kTrailerComment : kTrailerTextBytes);
  fields.track = numbered ? trailer.bytes[kTrailerNumber] : 0;
  fields.genre = trailer.bytes[kTrailerGenre];
  return fields;
}

std::optional<SourceTags> ReadSourceTags(File& file) {
  SourceTags tags;
  std::optional<uint64_t> fileSize = file.Size();
  if (!fileSize || !ReadTrailer(file, tags.trailer)) return std::nullopt;
  tags.id3v1 = DecodeTrailer(tags.trailer);

  // Each read asks for bytes the file's size promises: one that ends sooner fails.
  char start[kId3v2HeaderBytes];
  const size_t startBytes = static_cast<size_t>(std::min<uint64_t>(sizeof start, *fileSize));
  size_t got = 0;
  if (!file.Seek(0) || !file.Read(start, startBytes, got) || got < startBytes) return std::nullopt;
  std::optional<Id3v2Header> header = ReadTagHeader(std::string_view(start, got));
  if (!header) return tags;
  // A footer is a version 4 tag's own; in older versions the flag means nothing.
  tags.id3v2Bytes = std::min<uint64_t>(
      header->version == 4 ? header->tagBytes() : kId3v2HeaderBytes + header->size, *fileSize);
  std::string bytes(
      static_cast<size_t>(std::min<uint64_t>(kId3v2HeaderBytes + header->size, *fileSize)), '\0');
  if (!file.Seek(0) || !file.Read(bytes.data(), bytes.size(), got) || got < bytes.size()) {
    return std::nullopt;
  }
  tags.id3v2 = ParseId3v2Tag(bytes);
  return tags;
}

}  // namespace partwell
