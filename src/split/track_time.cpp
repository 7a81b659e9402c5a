#include "split/track_time.h"

#include <cstdio>

#include "text/ascii.h"

namespace partwell {
namespace {

bool IsScanfSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

enum class Conversion { kRead, kNoNumber, kSigned };

// One "%Nu" conversion: skips white space, then reads 1 to `width` digits. A sign is
// reported apart: the C conversion would accept one and wrap a negative number.
Conversion ReadNumber(const std::string& text, size_t& at, size_t width, unsigned& value) {
  while (at < text.size() && IsScanfSpace(text[at])) ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) return Conversion::kSigned;
  size_t digits = 0;
  value = 0;
  while (digits < width && at < text.size() && IsDigit(text[at])) {
    value = value * 10 + static_cast<unsigned>(text[at] - '0');
    ++at;
    ++digits;
  }
  return digits > 0 ? Conversion::kRead : Conversion::kNoNumber;
}

bool ReadLiteral(const std::string& text, size_t& at, char literal) {
  if (at < text.size() && text[at] == literal) {
    ++at;
    return true;
  }
  return false;
}

}  // namespace

std::optional<TimeParts> ParseTimeText(const char* text) {
  std::string head(text ? text : "");
  if (head.size() > kTimeTextReadLength) head.resize(kTimeTextReadLength);
  TimeParts parts;
  size_t at = 0;
  if (ReadNumber(head, at, 3, parts.minutes) != Conversion::kRead || !ReadLiteral(head, at, ':') ||
      ReadNumber(head, at, 2, parts.seconds) != Conversion::kRead) {
    return std::nullopt;
  }
  if (ReadLiteral(head, at, '.')) {
    Conversion hundredths = ReadNumber(head, at, 2, parts.hundredths);
    if (hundredths == Conversion::kSigned) return std::nullopt;
    if (hundredths == Conversion::kNoNumber) parts.hundredths = 0;
  }
  if (parts.seconds > 59) return std::nullopt;
  return parts;
}

std::string FormatTimeText(const TimeParts& parts) {
  char text[40];
  std::snprintf(text, sizeof text, "%03u:%02u.%02u", parts.minutes, parts.seconds,
                parts.hundredths);
  return text;
}

int32_t TimeOffset(const TimeParts& parts) {
  return static_cast<int32_t>(parts.hundredths + parts.seconds * 100 + parts.minutes * 6000);
}

TimeParts TimePartsOfOffset(int64_t offset) {
  if (offset < 0) offset = 0;
  TimeParts parts;
  parts.minutes = static_cast<unsigned>(offset / 6000);
  parts.seconds = static_cast<unsigned>(offset / 100 % 60);
  parts.hundredths = static_cast<unsigned>(offset % 100);
  return parts;
}

}  // namespace partwell
