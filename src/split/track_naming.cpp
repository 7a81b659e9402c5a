#include "split/track_naming.h"

#include <cstdio>

#include "io/file.h"

namespace partwell {
namespace {

constexpr char kForbiddenNameChars[] = "\\/:*?\"<>|";

bool IsForbiddenNameChar(char c) {
  for (const char* f = kForbiddenNameChars; *f; ++f) {
    if (*f == c) return true;
  }
  return false;
}

// A value put in for "%artist%" or "%title%" can never lead outside the folder.
std::string SanitizeNameValue(const char* value) {
  std::string text(value ? value : "");
  for (char& c : text) {
    if (IsForbiddenNameChar(c)) c = '_';
  }
  return text;
}

void ReplaceFirst(std::string& text, const std::string& placeholder, const std::string& value) {
  size_t at = text.find(placeholder);
  if (at != std::string::npos) text.replace(at, placeholder.size(), value);
}

size_t FileNameStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1])) return i;
  }
  return 0;
}

}  // namespace

std::string FolderOfPath(const std::string& path) { return path.substr(0, FileNameStart(path)); }

bool CheckNameChars(const std::string& text) {
  for (char c : text) {
    if (IsForbiddenNameChar(c)) return false;
  }
  return true;
}

std::string SourceBaseName(const std::string& sourcePath) {
  size_t start = FileNameStart(sourcePath);
  size_t dot = sourcePath.find('.', start);
  return sourcePath.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

std::string BuildTrackNamePattern(const std::string& folder, const std::string& sourcePath,
                                  const std::string& nameTemplate) {
  return (folder.empty() ? FolderOfPath(sourcePath) : folder) + nameTemplate;
}

std::optional<std::string> MakeTrackFileName(const std::string& pattern,
                                             const std::string& sourcePath, const TrackEntry* entry,
                                             int index) {
  std::string name = pattern;
  ReplaceFirst(name, "%file%", SourceBaseName(sourcePath));
  ReplaceFirst(name, "%artist%", SanitizeNameValue(entry ? entry->artist : nullptr));
  ReplaceFirst(name, "%title%", SanitizeNameValue(entry ? entry->title : nullptr));
  int number = index + 1;
  char digits[16];
  std::snprintf(digits, sizeof digits, number > 99 ? "%03d" : "%02d", number);
  ReplaceFirst(name, "%track%", digits);
  name += ".mp3";
  if (name.size() > kMaxPathChars) return std::nullopt;
  return name;
}

}  // namespace partwell
