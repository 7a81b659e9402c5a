#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "analysis/silence_search.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "split/track_time.h"

namespace partwell::cli {
namespace {

struct SilencesOptions {
  std::string source;
  double thresholdDb = kDefaultThresholdDb;
  double minPauseSeconds = 0;  // 0: the preset's
  bool speech = false;
  int tracks = 0;
  bool timesOnly = false;
};

// Levels this close to the floor are digital silence.
constexpr float kDigitalSilenceDb = kSilenceFloorDb + 0.5f;

SilenceSettings SettingsOf(const SilencesOptions& options) {
  SilenceSettings settings;
  settings.thresholdDb = static_cast<float>(options.thresholdDb);
  settings.tracks = options.tracks;
  if (options.minPauseSeconds > 0) {
    settings.minPause = static_cast<int>(std::lround(options.minPauseSeconds * 100));
  } else if (options.speech) {
    settings.minPause = kSpeechMinPause;
  } else if (options.tracks > 0) {
    settings.minPause = kTracksMinPause;
  }
  return settings;
}

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
  SilenceSearch search = SearchSilences(options.source, SettingsOf(options), host);
  host.Done();
  if (search.outcome != LevelsOutcome::kCompleted) {
    std::string path = search.failureReason.empty() ? std::string() : options.source;
    ReportFailure(LevelsOutcomeText(search.outcome), path, search.failureReason);
    return kExitFailed;
  }
  PrintSilences(search.silences, options.timesOnly);
  size_t found = search.silences.size();
  if (options.tracks > 0 && found + 1 < static_cast<size_t>(options.tracks)) {
    std::fprintf(stderr,
                 "Only %zu of the %d pauses between %d tracks were found; a higher --threshold "
                 "or a shorter --min-pause may find more.\n",
                 found, options.tracks - 1, options.tracks);
  } else if (found == 0 && options.tracks != 1) {
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
      ->add_option("--threshold", options->thresholdDb,
                   "A pause is quieter than this, in dBFS (RMS over 10 ms, smoothed over 90 ms)")
      ->capture_default_str()
      ->check(CLI::Range(-119.0, 0.0));
  auto* minPause =
      command
          ->add_option("--min-pause", options->minPauseSeconds,
                       "The shortest pause, in seconds (default 0.5, or 0.25 with --tracks)")
          ->check(CLI::Range(0.05, 600.0));
  auto* speech = command->add_flag(
      "--speech", options->speech,
      "Pauses between chapters of speech: at least 1.2 s, so that pauses between sentences "
      "are left alone");
  minPause->excludes(speech);
  command
      ->add_option("--tracks", options->tracks,
                   "The number of tracks: proposes the N-1 longest pauses")
      ->check(CLI::Range(1, 999));
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
