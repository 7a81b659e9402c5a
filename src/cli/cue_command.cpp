#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/commands.h"
#include "split/cue_sheet.h"
#include "split/track_time_list.h"

namespace partwell::cli {
namespace {

struct CueOptions {
  std::string source;
  std::string times;
  std::string sheet;
};

// The sheet's bytes on standard output, unchanged (its line ends are CRLF already).
bool WriteToStandardOutput(const std::string& bytes) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
         std::fflush(stdout) == 0;
}

int WriteSheet(const CueOptions& options) {
  TrackTimeList times;
  AddTimes(options.times, times);
  std::vector<TrackEntry> entries = times.Snapshot();
  if (options.sheet.empty()) {
    if (!WriteToStandardOutput(WriteCueSheet(entries, options.source))) {
      std::fprintf(stderr, "The CUE sheet could not be written to standard output.\n");
      return kExitFailed;
    }
    return kExitDone;
  }
  if (std::optional<std::string> failure =
          WriteCueSheetFile(options.sheet, entries, options.source)) {
    std::fprintf(stderr, "%s: %s\n", options.sheet.c_str(), failure->c_str());
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

void AddCueCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "cue", "Writes a CUE sheet for FILE whose tracks start at the given times.");
  auto options = std::make_shared<CueOptions>();
  command->add_option("FILE", options->source, "The MP3 file the sheet is for")->required();
  command
      ->add_option("--times", options->times,
                   "Comma-separated track start times, mmm:ss.pp (minutes, seconds, "
                   "hundredths); 0:00 is added before the first when missing")
      ->required();
  command->add_option("--out", options->sheet,
                      "The sheet to write (default: standard output); a file of that name "
                      "is replaced");
  command->footer(
      "Example:\n"
      "  mp3partwell cue concert.mp3 --times 0:00,4:12.50,9:03 --out concert.cue");
  command->callback([options, &exitCode] { exitCode = WriteSheet(*options); });
}

}  // namespace partwell::cli
