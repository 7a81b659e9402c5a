#include "join/source_paths.h"

#include <cstring>

#include "io/file.h"

namespace partwell {
namespace {

// The NUL-terminated string at `at`, or nothing when it runs past the buffer's end.
bool StringAt(const char* buffer, size_t size, size_t at, std::string& text) {
  if (at >= size) return false;
  const void* end = std::memchr(buffer + at, '\0', size - at);
  if (!end) return false;
  text.assign(buffer + at, static_cast<const char*>(end));
  return true;
}

}  // namespace

bool ComposeSourcePaths(const char* buffer, size_t size, size_t nameOffset,
                        std::vector<std::string>& paths) {
  std::string first;
  if (!StringAt(buffer, size, 0, first) || nameOffset == 0 || nameOffset > first.size() + 1) {
    return false;
  }
  // A folder that already ends in a backslash (a drive root) gets no second one.
  std::string prefix = first.substr(0, nameOffset - 1);
  if (nameOffset < 2 || first[nameOffset - 2] != '\\') prefix += '\\';

  std::vector<std::string> composed;
  std::string name;
  for (size_t at = nameOffset; StringAt(buffer, size, at, name) && !name.empty();
       at += name.size() + 1) {
    std::string path = prefix + name;
    if (path.size() > kMaxPathChars) return false;
    composed.push_back(std::move(path));
  }
  paths.insert(paths.end(), composed.begin(), composed.end());
  return true;
}

}  // namespace partwell
