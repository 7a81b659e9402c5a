#include "split/track_entry.h"

#include <algorithm>
#include <cstring>

#include "text/unicode.h"

namespace partwell {

void SetTrackText(char (&field)[kTrackTextChars + 1], const std::string& text) {
  const size_t length = Utf8CutLength(text, kTrackTextChars);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

void SetTimeText(TrackEntry& entry, const std::string& text) {
  size_t length = std::min(text.size(), sizeof entry.timeText - 1);
  std::memcpy(entry.timeText, text.data(), length);
  entry.timeText[length] = '\0';
}

}  // namespace partwell
