#include "split/track_entry.h"

#include <algorithm>
#include <cstring>

namespace partwell {

void SetTrackText(char (&field)[kTrackTextChars + 1], const std::string& text) {
  size_t length = std::min(text.size(), kTrackTextChars);
  // Never end inside a UTF-8 sequence: back up over continuation bytes.
  if (length < text.size()) {
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

void SetTimeText(TrackEntry& entry, const std::string& text) {
  size_t length = std::min(text.size(), sizeof entry.timeText - 1);
  std::memcpy(entry.timeText, text.data(), length);
  entry.timeText[length] = '\0';
}

}  // namespace partwell
