#include <cstdio>
#include <memory>
#include <string>

#include "analysis/loudness_levels.h"
#include "analysis/silence_options.h"
#include "analysis/silence_search.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/silence_arguments.h"

namespace partwell::cli {
namespace {

struct SilencesOptions {
  std::string source;
  SilenceOptions search;
  bool timesOnly = false;
};

int Listen(const SilencesOptions& options) {
  ConsoleJobHost host(kPercentProgress);
  host.FileStarted(options.source, 1, 1);
  SilenceSearch search = SearchSilences(options.source, SettingsOf(options.search), host);
  host.Done();
  if (!search.report.completed()) {
    ReportFailure(JobReportText(search.report), search.report.failedPath,
                  search.report.failureReason);
    return search.report.outcome == JobOutcome::kCancelled ? kExitHalted : kExitFailed;
  }
  PrintSilences(search.silences, options.timesOnly);
  WarnOfMissingSilences(search.silences.size(), options.search.tracks);
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
  AddSilenceOptions(*command, options->search);
  command->add_flag("--times-only", options->timesOnly,
                    "Prints the times comma-separated, as split --times takes them");
  command->footer(
      "Prints one proposed start time per line (mmm:ss.pp), each with its pause's length and "
      "level; the first track starts at 000:00.00.\n"
      "Examples:\n"
      "  mp3partwell silences album.mp3\n"
      "  mp3partwell silences book.mp3 --speech\n"
      "  mp3partwell split album.mp3 --times $(mp3partwell silences album.mp3 --tracks 12 "
      "--times-only)\n"
      "  mp3partwell split album.mp3 --at-silences --tracks 12");
  command->callback([options, &exitCode] { exitCode = Listen(*options); });
}

}  // namespace partwell::cli
