// Fuzz target for the CUE sheet reader and writer. Whatever the bytes, reading must not
// touch memory it does not own, and a sheet that is read must give a well-formed list that
// survives writing and reading again unchanged. A broken promise aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "split/cue_sheet.h"
#include "split/track_time.h"
#include "split/track_time_list.h"

namespace {

using partwell::CueSheetResult;
using partwell::TrackEntry;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The field holds its terminator and at most 100 bytes of UTF-8 without control characters.
void RequireText(const char (&field)[partwell::kTrackTextChars + 1]) {
  size_t length = strnlen(field, sizeof field);
  Require(length <= partwell::kTrackTextChars);
  for (size_t i = 0; i < length;) {
    auto lead = static_cast<unsigned char>(field[i]);
    Require(lead >= 0x20 && lead != 0x7F);
    size_t extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    Require(lead < 0x80 || lead >= 0xC2);
    Require(i + extra < length);
    for (size_t k = 1; k <= extra; ++k) {
      Require((static_cast<unsigned char>(field[i + k]) & 0xC0) == 0x80);
    }
    i += extra + 1;
  }
}

std::string AsWritten(const char* text) {
  std::string value(text);
  for (char& c : value) {
    if (c == '"') c = '\'';
  }
  return value;
}

void CheckRoundTrip(const CueSheetResult& first, const std::string& source) {
  CueSheetResult second =
      partwell::ReadCueSheet(partwell::WriteCueSheet(first.entries, source), source);
  Require(second.ok());
  Require(second.entries.size() == first.entries.size());
  for (size_t i = 0; i < first.entries.size(); ++i) {
    const TrackEntry& a = first.entries[i];
    const TrackEntry& b = second.entries[i];
    Require(a.offset == b.offset);
    Require(std::strcmp(a.timeText, b.timeText) == 0);
    Require(AsWritten(a.title) == b.title);
    Require(AsWritten(a.artist) == b.artist);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first byte picks the source's name, so that several FILE entries get chosen among.
  static const char* const kSources[] = {"show.mp3", "", "C:\\music\\b.mp3", "a.wav"};
  std::string source = kSources[size > 0 ? data[0] % 4 : 0];

  CueSheetResult result = partwell::ReadCueSheet(bytes, source);
  Require(result.ok() != result.entries.empty());
  if (!result.ok()) return 0;

  int32_t previous = -1;
  for (const TrackEntry& entry : result.entries) {
    Require(entry.offset > previous && entry.offset <= 5999999);
    previous = entry.offset;
    Require(partwell::FormatTimeText(partwell::TimePartsOfOffset(entry.offset)) == entry.timeText);
    RequireText(entry.title);
    RequireText(entry.artist);
  }
  partwell::TrackTimeList list;
  Require(partwell::ReplaceTrackTimes(result.entries, list));
  Require(list.size() == result.entries.size() + (result.entries[0].offset == 0 ? 0 : 1));
  CheckRoundTrip(result, source);
  return 0;
}
