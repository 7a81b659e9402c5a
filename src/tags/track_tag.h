// The tags of one track of a split: an ID3v2.3 tag to put before its first frame and the
// ID3v1 trailer to put after its last, both made from the source's tags and the track's
// own title, artist and number.
#pragma once

#include <string>
#include <vector>

#include "mpeg/id3v1_trailer.h"
#include "tags/id3v2_reader.h"

namespace partwell {

// What the track list and a CUE sheet say of one track, in UTF-8. An empty text means
// "not given", and the source's own value stands in where one applies.
struct TrackTagFields {
  std::string title;   // the track's title (TIT2)
  std::string artist;  // the track's artist (TPE1), else the source's artist
  int number = 0;      // the track's number from 1, and the number of tracks (TRCK "n/N")
  int count = 0;
  std::string album;        // a CUE sheet's disc TITLE (TALB), else the source's album
  std::string albumArtist;  // a CUE sheet's disc PERFORMER (TPE2), else the source's album
                            // artist, else the source's artist
};

// The bytes of the track's ID3v2.3 tag (no unsynchronisation, no padding): TIT2, TPE1, TALB,
// TPE2 and TRCK from `fields`, then every frame of the source's ID3v2 tag that a track
// keeps, unchanged (one of each text frame), then a year (TYER) and genre (TCON) from the
// source's ID3v1 trailer where its ID3v2 tag has none. Text is Latin-1 where every character
// fits, else UTF-16.
std::vector<unsigned char> BuildTrackTag(const SourceTags& source, const TrackTagFields& fields);

// A text frame `id` holding `text` (UTF-8), in Latin-1 where every character fits, else UTF-16.
Id3v2Frame MakeTextFrame(const char* id, const std::string& text);

// The bytes of an ID3v2.3 tag (no unsynchronisation, no padding) of `frames` in order; a frame
// that would take the tag past the largest size its header states is left out.
std::vector<unsigned char> BuildV23Tag(const std::vector<Id3v2Frame>& frames);

// The track's ID3v1 trailer: the source's with the track's title, artist (30 bytes each,
// Latin-1, '?' for what it cannot hold) and ID3v1.1 track number (none above 255). Absent
// when the source has none.
Trailer MakeTrackTrailer(const SourceTags& source, const TrackTagFields& fields);

}  // namespace partwell
