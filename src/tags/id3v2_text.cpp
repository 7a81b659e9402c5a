#include "tags/id3v2_text.h"

#include "text/unicode.h"

namespace partwell {

size_t TerminatorLength(unsigned char encoding) {
  return encoding == kUtf16 || encoding == kUtf16BigEndian ? 2 : 1;
}

std::optional<size_t> TerminatedLength(unsigned char encoding, std::string_view bytes) {
  size_t step = TerminatorLength(encoding);
  for (size_t at = 0; at + step <= bytes.size(); at += step) {
    if (bytes[at] == 0 && bytes[at + step - 1] == 0) return at;
  }
  return std::nullopt;
}

std::string DecodeString(unsigned char encoding, std::string_view bytes) {
  switch (encoding) {
    case kLatin1:
      return Latin1ToUtf8(bytes);
    case kUtf8:
      return Utf8OrLatin1(bytes);
    default: {
      bool bigEndian = encoding == kUtf16BigEndian;
      if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        bigEndian = bytes[0] == '\xFE';
        bytes.remove_prefix(2);
      }
      return Utf16ToUtf8(bytes, bigEndian);
    }
  }
}

std::vector<std::string> DecodeStrings(unsigned char encoding, std::string_view bytes) {
  std::vector<std::string> strings;
  while (!bytes.empty()) {
    std::optional<size_t> length = TerminatedLength(encoding, bytes);
    strings.push_back(DecodeString(encoding, bytes.substr(0, length.value_or(bytes.size()))));
    if (!length) break;
    bytes.remove_prefix(*length + TerminatorLength(encoding));
  }
  return strings;
}

unsigned char EncodingFor(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    for (char32_t code : CodePoints(text)) {
      if (code > 0xFF) return kUtf16;
    }
  }
  return kLatin1;
}

void AppendString(std::vector<unsigned char>& out, unsigned char encoding, std::string_view text,
                  bool terminate) {
  if (encoding == kLatin1) {
    for (char32_t code : CodePoints(text)) {
      out.push_back(code > 0xFF ? '?' : static_cast<unsigned char>(code));
    }
    if (terminate) out.push_back(0);
    return;
  }
  auto unit = [&out](char32_t value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8));
  };
  unit(0xFEFF);
  for (char32_t code : CodePoints(text)) {
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
  }
  if (terminate) unit(0);
}

}  // namespace partwell
