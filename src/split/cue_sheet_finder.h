// Finding a source's CUE sheet beside it, for a split of many files that each have one.
#pragma once

#include <string>

namespace partwell {

struct FoundCueSheet {
  std::string path;     // the sheet's path; empty when none was found
  std::string refusal;  // why none was taken, when none was
};

// The sheet in the source's folder whose name is the source's less its extension plus
// ".cue" (ignoring case), else the one .cue there whose FILE lines name the source. Two
// sheets that both name it are refused rather than guessed between.
FoundCueSheet FindCueSheetBeside(const std::string& sourcePath);

}  // namespace partwell
