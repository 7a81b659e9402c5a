#include <cstdio>
#include <memory>
#include <string>

#include "analysis/loudness_levels.h"
#include "analysis/silence_options.h"
#include "analysis/silence_search.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "split/track_time.h"

namespace partwell::cli {
namespace {

struct SilencesOptions {
  std::string source;
  SilenceOptions search;
  bool timesOnly = false;
};

// Levels this close to the floor are digital silence.
constexpr float kDigitalSilenceDb = kSilenceFloorDb + 0.5f;

std::string TimeText(int64_t hundredths) { return FormatTimeText(TimePartsOfOffset(hundredths)); }

void PrintSilences(const std::vector<Silence>& silences, bool timesOnly) {
  if (timesOnly) {
    for (size_t i = 0; i < silences.size(); ++i) {
      std::printf("%s%s", i > 0 ? "," : "", TimeText(silences[i].cut).c_str());
    }
    if (!silences.empty()) std::printf("\n");
    return;
  }
  for (const Silence& silence : silences) {
    std::printf("%s  # pause of %.2f s", TimeText(silence.cut).c_str(),
                static_cast<double>(silence.length()) / 100);
    if (silence.levelDb <= kDigitalSilenceDb) {
      std::printf(", digital silence\n");
    } else {
      std::printf(" at %.0f dBFS\n", static_cast<double>(silence.levelDb));
    }
  }
}

int Listen(const SilencesOptions& options) {
  ConsoleJobHost host("Listening... [%02d%%]");
  SilenceSearch search = SearchSilences(options.source, SettingsOf(options.search), host);
  host.Done();
  if (!search.report.completed()) {
    ReportFailure(JobReportText(search.report), search.report.failedPath,
                  search.report.failureReason);
    return kExitFailed;
  }
  PrintSilences(search.silences, options.timesOnly);
  size_t found = search.silences.size();
  int tracks = options.search.tracks;
  if (tracks > 0 && found + 1 < static_cast<size_t>(tracks)) {
    std::fprintf(stderr,
                 "Only %zu of the %d pauses between %d tracks were found; a higher --threshold "
                 "or a shorter --min-pause may find more.\n",
                 found, tracks - 1, tracks);
  } else if (found == 0 && tracks != 1) {
    std::fprintf(stderr, "No silence was found.\n");
  }
  return kExitDone;
}

}  // namespace

void AddSilencesCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "silences",
      "Proposes track start times at the pauses of FILE: each is 0.2 s before a pause ends, "
      "or at its middle when the pause is shorter than 0.4 s.");
  auto options = std::make_shared<SilencesOptions>();
  command->add_option("FILE", options->source, "The MP3 file to listen to")->required();
  command
      ->add_option("--threshold", options->search.thresholdDb,
                   "A pause is quieter than this, in dBFS (RMS over 10 ms, smoothed over 90 ms)")
      ->capture_default_str()
      ->check(CLI::Range(kLowestThresholdDb, kHighestThresholdDb));
  auto* minPause =
      command
          ->add_option("--min-pause", options->search.minPauseSeconds,
                       "The shortest pause, in seconds (default 0.5, or 0.25 with --tracks)")
          ->check(CLI::Range(kShortestPauseSeconds, kLongestPauseSeconds));
  auto* speech = command->add_flag(
      "--speech", options->search.speech,
      "Pauses between chapters of speech: at least 1.2 s, so that pauses between sentences "
      "are left alone");
  minPause->excludes(speech);
  command
      ->add_option("--tracks", options->search.tracks,
                   "The number of tracks: proposes the N-1 longest pauses")
      ->check(CLI::Range(1, kMostTracks));
  command->add_flag("--times-only", options->timesOnly,
                    "Prints the times comma-separated, as split --times takes them");
  command->footer(
      "Prints one proposed start time per line (mmm:ss.pp), each with its pause's length and "
      "level; the first track starts at 000:00.00.\n"
      "Examples:\n"
      "  mp3partwell silences album.mp3\n"
      "  mp3partwell silences book.mp3 --speech\n"
      "  mp3partwell split album.mp3 --times $(mp3partwell silences album.mp3 --tracks 12 "
      "--times-only)");
  command->callback([options, &exitCode] { exitCode = Listen(*options); });
}

}  // namespace partwell::cli
