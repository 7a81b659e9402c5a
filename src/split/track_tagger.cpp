#include "split/track_tagger.h"

#include <optional>
#include <utility>

namespace partwell {

bool TrackTagger::ReadSource(File& source) {
  if (!job_.tags) return true;
  std::optional<SourceTags> tags = ReadSourceTags(source);
  if (!tags) return false;
  source_ = std::move(*tags);
  return true;
}

TrackTagFields TrackTagger::Fields(int index) const {
  TrackTagFields fields;
  // Equal segments may run past the list: those tracks have no entry, as in their names.
  if (index >= 0 && static_cast<size_t>(index) < job_.entries.size()) {
    fields.title = job_.entries[index].title;
    fields.artist = job_.entries[index].artist;
  }
  fields.number = index + 1;
  fields.count = count_;
  fields.album = job_.album;
  fields.albumArtist = job_.albumArtist;
  return fields;
}

std::vector<unsigned char> TrackTagger::LeadingTag(int index) const {
  if (!job_.tags) return {};
  return BuildTrackTag(source_, Fields(index));
}

Trailer TrackTagger::EndingTrailer(int index, const Trailer& trailer) const {
  if (!job_.tags) return trailer;
  return MakeTrackTrailer(source_, Fields(index));
}

}  // namespace partwell
