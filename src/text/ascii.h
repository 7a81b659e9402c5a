// The ASCII character classes and trimming that the readers of typed text share (times,
// CUE sheets, the silence options), and the look-up of an id in a table of them.
#pragma once

#include <string_view>

namespace partwell {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// A space or a tab.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// `text` without the blanks around it.
constexpr std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Whether `table` (of C strings) holds `id`.
template <typename Table>
bool TableContains(const Table& table, std::string_view id) {
  for (const char* entry : table) {
    if (id == entry) return true;
  }
  return false;
}

}  // namespace partwell
