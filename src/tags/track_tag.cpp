#include "tags/track_tag.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>

#include "mpeg/byte_order.h"
#include "mpeg/id3v2_header.h"
#include "tags/id3v2_text.h"
#include "text/ascii.h"

namespace partwell {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr unsigned char kV23Header[] = {'I', 'D', '3', 3, 0, 0};
constexpr size_t kFrameHeaderBytes = 10;
constexpr size_t kLargestTagSize = (size_t{1} << 28) - 1;  // what 28 bits of size hold
constexpr int kNoGenre = 255;

// The frames the track writes from its fields, in their order.
constexpr const char* kTrackFrameIds[] = {"TIT2", "TPE1", "TALB", "TPE2", "TRCK"};
constexpr const char* kWholeSourceIds[] = {"TLEN", "MLLT", "SYLT", "SYTC", "ETCO", "SEEK",
                                           "ASPI", "UFID", "MCDI", "CHAP", "CTOC", "TSIZ"};

void AppendFrame(Bytes& out, const Id3v2Frame& frame) {
  out.insert(out.end(), frame.id.begin(), frame.id.end());
  AppendBigEndian(out, static_cast<uint32_t>(frame.extras.size() + frame.content.size()), 4);
  AppendBigEndian(out, frame.flags, 2);
  out.insert(out.end(), frame.extras.begin(), frame.extras.end());
  out.insert(out.end(), frame.content.begin(), frame.content.end());
}

// The first of `candidates` that is not empty.
std::string FirstGiven(std::initializer_list<std::string> candidates) {
  for (const std::string& text : candidates) {
    if (!text.empty()) return text;
  }
  return {};
}

std::string SourceArtist(const SourceTags& source) {
  return FirstGiven({FrameText(source.id3v2, "TPE1"), source.id3v1.artist});
}

std::string TrackArtist(const SourceTags& source, const TrackTagFields& fields) {
  return FirstGiven({fields.artist, SourceArtist(source)});
}

std::vector<Id3v2Frame> TrackFrames(const SourceTags& source, const TrackTagFields& fields) {
  std::string number;
  if (fields.number > 0) {
    number = std::to_string(fields.number);
    if (fields.count > 0) number += "/" + std::to_string(fields.count);
  }
  const std::string texts[] = {
      fields.title,
      TrackArtist(source, fields),
      FirstGiven({fields.album, FrameText(source.id3v2, "TALB"), source.id3v1.album}),
      FirstGiven({fields.albumArtist, FrameText(source.id3v2, "TPE2"), SourceArtist(source)}),
      number,
  };
  std::vector<Id3v2Frame> frames;
  for (size_t i = 0; i < std::size(texts); ++i) {
    if (!texts[i].empty()) frames.push_back(MakeTextFrame(kTrackFrameIds[i], texts[i]));
  }
  return frames;
}

// A year and a genre from the ID3v1 trailer, for a source whose ID3v2 tag has neither.
std::vector<Id3v2Frame> TrailerFrames(const Id3v1Fields& id3v1) {
  std::vector<Id3v2Frame> frames;
  if (id3v1.year.size() == 4 && id3v1.year.find_first_not_of("0123456789") == std::string::npos) {
    frames.push_back(MakeTextFrame("TYER", id3v1.year));
  }
  if (id3v1.genre != kNoGenre) {
    frames.push_back(MakeTextFrame("TCON", "(" + std::to_string(id3v1.genre) + ")"));
  }
  return frames;
}

// A v2.3 tag holds one frame of each text id (TXXX apart, told apart by their descriptions).
bool IsSingleFrame(const std::string& id) { return (id[0] == 'T' && id != "TXXX") || id == "IPLS"; }

void SetLatin1Field(unsigned char* field, size_t length, const std::string& text) {
  Bytes latin1;
  AppendString(latin1, kLatin1, text, false);
  std::memset(field, 0, length);
  std::copy_n(latin1.begin(), std::min(length, latin1.size()), field);
}

// The frames that speak of the source's audio as a whole or of its identity, which no track
// takes from it (besides TIT2, TPE1, TRCK, TALB and TPE2, which the track sets itself).
bool DescribesWholeSource(const std::string& id) { return TableContains(kWholeSourceIds, id); }

}  // namespace

Id3v2Frame MakeTextFrame(const char* id, const std::string& text) {
  Id3v2Frame frame;
  frame.id = id;
  frame.content.push_back(EncodingFor({text}));
  AppendString(frame.content, frame.content[0], text, false);
  return frame;
}

std::vector<unsigned char> BuildV23Tag(const std::vector<Id3v2Frame>& frames) {
  Bytes tag(std::begin(kV23Header), std::end(kV23Header));
  tag.resize(kId3v2HeaderBytes);  // the size goes in at the end
  for (const Id3v2Frame& frame : frames) {
    size_t frameBytes = kFrameHeaderBytes + frame.extras.size() + frame.content.size();
    // Only absurd texts could outgrow a tag; what does not fit is left out.
    if (tag.size() - kId3v2HeaderBytes + frameBytes <= kLargestTagSize) AppendFrame(tag, frame);
  }
  uint32_t size = static_cast<uint32_t>(tag.size() - kId3v2HeaderBytes);
  WriteSyncSafe32(&tag[kId3v2SizeOffset], size);
  return tag;
}

std::vector<unsigned char> BuildTrackTag(const SourceTags& source, const TrackTagFields& fields) {
  std::vector<Id3v2Frame> frames;
  std::set<std::string> written;
  auto take = [&](const Id3v2Frame& frame) {
    if (!IsSingleFrame(frame.id) || written.insert(frame.id).second) frames.push_back(frame);
  };
  for (const Id3v2Frame& frame : TrackFrames(source, fields)) take(frame);
  for (const Id3v2Frame& frame : source.id3v2.frames) {
    if (!TableContains(kTrackFrameIds, frame.id) && !DescribesWholeSource(frame.id)) take(frame);
  }
  for (const Id3v2Frame& frame : TrailerFrames(source.id3v1)) take(frame);
  return BuildV23Tag(frames);
}

Trailer MakeTrackTrailer(const SourceTags& source, const TrackTagFields& fields) {
  Trailer trailer = source.trailer;
  if (!trailer.present()) return trailer;
  SetLatin1Field(trailer.bytes + kTrailerTitle, kTrailerTextBytes, fields.title);
  SetLatin1Field(trailer.bytes + kTrailerArtist, kTrailerTextBytes, TrackArtist(source, fields));
  if (fields.number > 0 && fields.number <= 255) {
    trailer.bytes[kTrailerNumberMark] = 0;
    trailer.bytes[kTrailerNumber] = static_cast<unsigned char>(fields.number);
  } else if (trailer.bytes[kTrailerNumberMark] == 0) {
    trailer.bytes[kTrailerNumber] = 0;  // the source's own number is no track's
  }
  return trailer;
}

}  // namespace partwell
