// The tags of a split's tracks when its job asks for them: the source's tags, read once per
// job, and each track's ID3v2 tag and ID3v1 trailer made from them, the track's entry in
// the list, the CUE sheet's disc title and performer and the number of tracks. Without
// tags, a track has no ID3v2 tag and ends with the source's trailer.
#pragma once

#include <vector>

#include "io/file.h"
#include "mpeg/id3v1_trailer.h"
#include "split/split_job.h"
#include "tags/track_tag.h"

namespace partwell {

class TrackTagger {
 public:
  explicit TrackTagger(const SplitJob& job) : job_(job) {}

  // Reads the source's tags when the job asks for tags (and nothing otherwise); false when
  // a read of `source` failed. The file's position is left undefined.
  bool ReadSource(File& source);
  // The number of tracks the job writes: the N of each track's "n/N".
  void SetTrackCount(int count) { count_ = count; }

  // The bytes that begin track `index` (0-based): its ID3v2 tag; none without tags.
  std::vector<unsigned char> LeadingTag(int index) const;
  // The trailer that ends track `index`: the source's `trailer` itself without tags.
  Trailer EndingTrailer(int index, const Trailer& trailer) const;

 private:
  TrackTagFields Fields(int index) const;

  const SplitJob& job_;
  SourceTags source_;
  int count_ = 0;
};

}  // namespace partwell
