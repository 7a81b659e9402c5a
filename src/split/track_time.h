// Track times: the "mmm:ss.pp" text (minutes, seconds, hundredths) and the offset in
// hundredths of a second from the start of the source.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace partwell {

// The longest text that is read: the time box holds 9 characters.
constexpr size_t kTimeTextReadLength = 9;

struct TimeParts {
  unsigned minutes = 0;
  unsigned seconds = 0;
  unsigned hundredths = 0;
};

// Reads the first 9 characters of `text` as C's sscanf reads "%3u:%2u.%2u": white space
// before each number is skipped, each number takes at most its width in digits, and
// reading stops at the first character that does not fit. Valid when at least minutes and
// seconds were read and the seconds are at most 59; missing hundredths are 0. A sign
// before a number makes the text invalid.
std::optional<TimeParts> ParseTimeText(const char* text);

// "%03u:%02u.%02u", 9 characters for minutes below 1000.
std::string FormatTimeText(const TimeParts& parts);

// hundredths + seconds x 100 + minutes x 6000.
int32_t TimeOffset(const TimeParts& parts);

// The parts of an offset in hundredths (minutes may exceed 999 for large offsets).
TimeParts TimePartsOfOffset(int64_t offset);

}  // namespace partwell
