#include "split/cue_sheet_finder.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "io/file.h"
#include "split/cue_sheet.h"
#include "split/track_naming.h"

namespace partwell {
namespace {

std::string Lowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string WithoutExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool IsCueName(const std::string& name) {
  return name.size() > 4 && Lowercase(name.substr(name.size() - 4)) == ".cue";
}

}  // namespace

FoundCueSheet FindCueSheetBeside(const std::string& sourcePath) {
  FoundCueSheet found;
  const std::string folder = FolderOfPath(sourcePath);
  std::optional<std::vector<std::string>> names = ListFolder(folder);
  if (!names) {
    found.refusal = "cannot read the folder " + (folder.empty() ? std::string(".") : folder);
    return found;
  }
  std::sort(names->begin(), names->end());
  const std::string stem = Lowercase(WithoutExtension(sourcePath.substr(folder.size())));
  for (const std::string& name : *names) {
    if (IsCueName(name) && Lowercase(WithoutExtension(name)) == stem) {
      found.path = folder + name;
      return found;
    }
  }
  std::vector<std::string> naming;
  for (const std::string& name : *names) {
    if (!IsCueName(name)) continue;
    std::vector<std::string> files = ReadCueSheetFile(folder + name, sourcePath).files;
    if (std::any_of(files.begin(), files.end(), [&](const std::string& file) {
          return CueFileNamesSource(file, sourcePath);
        })) {
      naming.push_back(name);
    }
  }
  if (naming.size() == 1) {
    found.path = folder + naming.front();
  } else if (naming.empty()) {
    found.refusal = "no CUE sheet: neither " + WithoutExtension(sourcePath.substr(folder.size())) +
                    ".cue nor a .cue whose FILE line names it";
  } else {
    found.refusal = "two CUE sheets name it: " + naming[0] + " and " + naming[1];
  }
  return found;
}

}  // namespace partwell
