// Text inside ID3v2 frames: the encodings a frame's first byte names, the strings they hold
// and how each string ends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace partwell {

// The encoding byte of a frame that holds text.
constexpr unsigned char kLatin1 = 0;
constexpr unsigned char kUtf16 = 1;           // with a byte-order mark
constexpr unsigned char kUtf16BigEndian = 2;  // without one (ID3v2.4 only)
constexpr unsigned char kUtf8 = 3;            // (ID3v2.4 only)

inline bool IsTextEncoding(unsigned char encoding) { return encoding <= kUtf8; }

// The bytes of frame content as text bytes, for reading.
inline std::string_view ByteView(const std::vector<unsigned char>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The length of the string at the start of `bytes` before its terminator (one zero byte, or
// two at an even place in UTF-16), or nothing when no terminator ends it.
std::optional<size_t> TerminatedLength(unsigned char encoding, std::string_view bytes);
// The length of the terminator in `encoding`.
size_t TerminatorLength(unsigned char encoding);

// One string (without its terminator) in UTF-8. A UTF-16 string's byte-order mark gives its
// byte order; without one it is read as the encoding's default (little-endian for kUtf16).
std::string DecodeString(unsigned char encoding, std::string_view bytes);
// The strings of `bytes` in order, split at their terminators; a terminator at the very end
// ends the last string and starts none.
std::vector<std::string> DecodeStrings(unsigned char encoding, std::string_view bytes);

// The encoding an ID3v2.3 frame writes `texts` in: Latin-1 when every character fits,
// else UTF-16.
unsigned char EncodingFor(const std::vector<std::string>& texts);
// Appends `text` (UTF-8) in `encoding` (kLatin1, characters above U+00FF written as '?', or
// kUtf16, little-endian after a byte-order mark), then a terminator when `terminate`.
void AppendString(std::vector<unsigned char>& out, unsigned char encoding, std::string_view text,
                  bool terminate);

}  // namespace partwell
