// The sources every exact-split test cuts: CBR and VBR, MPEG-1, 2 and 2.5, mono, CRC, tagged,
// without a LAME tag, with a VBRI frame, cut short. The level tests read the same kinds.
#pragma once

#include <string>
#include <vector>

namespace partwell::e2e {

struct SourceRecipe {
  const char* name;
  int rate;
  int channels;
  std::vector<std::string> lame;  // options; empty for the VBRI source
  int keptPercent = 100;          // of the encoded file's bytes: less cuts it short mid-frame
};

inline const std::vector<SourceRecipe>& ExactSplitRecipes() {
  static const std::vector<SourceRecipe> recipes = {
      {"cbr128", 44100, 2, {"-b", "128"}},
      {"cbr320 crc", 48000, 2, {"-b", "320", "-p"}},
      {"cbr128 crc mono", 44100, 1, {"-b", "128", "-p", "-m", "m"}},
      {"vbr v2", 44100, 2, {"-V", "2"}},
      {"vbr v6 mono", 44100, 1, {"-V", "6", "-m", "m"}},
      {"tagged", 44100, 2, {"-b", "160", "--add-id3v2", "--tt", "Title", "--ta", "Artist"}},
      {"no lame tag", 44100, 2, {"-b", "128", "-t"}},
      {"mpeg2 22k", 22050, 2, {"-b", "64"}},
      {"mpeg2 16k mono", 16000, 1, {"-V", "4", "-m", "m"}},
      {"mpeg25 11k", 11025, 2, {"-V", "6"}},
      {"mpeg25 8k mono", 8000, 1, {"-b", "16", "-m", "m"}},
      {"vbri", 22050, 2, {}},
      {"vbr v2 cut short", 44100, 2, {"-V", "2"}, 67},
  };
  return recipes;
}

}  // namespace partwell::e2e
