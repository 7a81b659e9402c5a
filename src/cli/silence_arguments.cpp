#include "cli/silence_arguments.h"

#include <cstdio>
#include <string>

#include "split/track_time.h"

namespace partwell::cli {
namespace {

// Levels this close to the floor are digital silence.
constexpr float kDigitalSilenceDb = kSilenceFloorDb + 0.5f;

std::string TimeText(int64_t hundredths) { return FormatTimeText(TimePartsOfOffset(hundredths)); }

}  // namespace

std::vector<CLI::Option*> AddSilenceOptions(CLI::App& command, SilenceOptions& options) {
  auto* threshold =
      command
          .add_option("--threshold", options.thresholdDb,
                      "A pause is quieter than this, in dBFS (RMS over 10 ms, smoothed over 90 "
                      "ms)")
          ->capture_default_str()
          ->check(CLI::Range(kLowestThresholdDb, kHighestThresholdDb));
  auto* minPause =
      command
          .add_option("--min-pause", options.minPauseSeconds,
                      "The shortest pause, in seconds (default 0.5, or 0.25 with --tracks)")
          ->check(CLI::Range(kShortestPauseSeconds, kLongestPauseSeconds));
  auto* speech = command.add_flag(
      "--speech", options.speech,
      "Pauses between chapters of speech: at least 1.2 s, so that pauses between sentences "
      "are left alone");
  minPause->excludes(speech);
  auto* tracks = command
                     .add_option("--tracks", options.tracks,
                                 "The number of tracks: proposes the N-1 longest pauses")
                     ->check(CLI::Range(1, kMostTracks));
  return {threshold, minPause, speech, tracks};
}

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

void WarnOfMissingSilences(size_t found, int tracks) {
  if (tracks > 0 && found + 1 < static_cast<size_t>(tracks)) {
    std::fprintf(stderr,
                 "Only %zu of the %d pauses between %d tracks were found; a higher --threshold "
                 "or a shorter --min-pause may find more.\n",
                 found, tracks - 1, tracks);
  } else if (found == 0 && tracks != 1) {
    std::fprintf(stderr, "No silence was found.\n");
  }
}

}  // namespace partwell::cli
