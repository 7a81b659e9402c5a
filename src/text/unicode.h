// Unicode text: the program holds text as UTF-8; sheets and tags carry it as UTF-8,
// Latin-1 or UTF-16. Every routine here takes any bytes and returns well-formed UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace partwell {

// Appends the UTF-8 form of `code` (at most U+10FFFF) to `out`.
void AppendUtf8(std::string& out, uint32_t code);

// The length of the well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t at);
bool IsValidUtf8(std::string_view text);
// The length of `text` cut to at most `limit` bytes, never inside a UTF-8 sequence: a cut
// backs up over continuation bytes.
size_t Utf8CutLength(std::string_view text, size_t limit);

// UTF-8 where the bytes are well formed, each other byte read as Latin-1.
std::string Utf8OrLatin1(std::string_view text);
std::string Latin1ToUtf8(std::string_view text);
// UTF-16 code units (an odd last byte is ignored); a surrogate without its pair is U+FFFD.
std::string Utf16ToUtf8(std::string_view text, bool bigEndian);

// The characters of `text`, read as Utf8OrLatin1 reads it.
std::u32string CodePoints(std::string_view text);

}  // namespace partwell
