#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/progress.h"
#include "io/file.h"
#include "mpeg/source_probe.h"
#include "split/split_engine.h"
#include "split/track_naming.h"
#include "split/track_time.h"
#include "split/track_time_list.h"

namespace partwell::cli {
namespace {

struct SplitOptions {
  std::string source;
  std::string times;
  bool equalSegments = false;
  std::string nameTemplate = "%file% - %track%";
  std::string folder;
};

class ConsoleSplitHost : public SplitHost {
 public:
  void JobStarted() override {}
  bool HaltRequested() override { return InterruptRequested(); }
  void TrackStarted(int number) override { progress_.Unit(number); }
  Progress& progress() { return progress_; }

 private:
  Progress progress_{"Creating... [%03d]"};
};

// Adds the comma-separated times in order, as the page's "Add Time" would.
void AddTimes(const std::string& list, TrackTimeList& times) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string text = list.substr(start, comma - start);
    auto entry = std::make_unique<TrackEntry>();
    SetTimeText(*entry, text);
    if (!ParseTimeText(text.c_str())) {
      throw CLI::ValidationError("--times", "invalid time \"" + text + "\"");
    }
    times.AddTrackTime(std::move(entry));
    start = comma + 1;
  }
}

std::string WithTrailingSeparator(const std::string& folder) {
  if (folder.empty() || IsPathSeparator(folder.back())) return folder;
  return folder + kPathSeparator;
}

int Split(const SplitOptions& options) {
  TrackTimeList times;
  AddTimes(options.times, times);
  std::string folder = WithTrailingSeparator(options.folder);
  if (folder.size() > kMaxPathChars) {
    throw CLI::ValidationError("--folder", "the folder's path is longer than 259 characters");
  }
  ProbeResult probe = ProbeSourceFile(options.source);
  if (probe.outcome == ProbeOutcome::kCannotOpen) {
    File file = File::OpenForReading(options.source);
    ReportFailure(SplitOutcomeText(SplitOutcome::kFileError), options.source,
                  SystemErrorText(file.LastError()));
    return kExitFailed;
  }
  if (probe.outcome != ProbeOutcome::kAccepted) {
    std::fprintf(stderr, "%s\n", ProbeRefusalText(probe.outcome));
    return kExitFailed;
  }

  SplitJob job;
  job.sourcePath = options.source;
  job.nameTemplate = options.nameTemplate;
  job.folder = folder;
  job.equalSegments = options.equalSegments;
  job.entries = times.Snapshot();
  job.bitRate = probe.bitRate;
  job.bitRateIndex = probe.bitRateIndex;
  job.firstFrame = probe.firstFrame;

  ConsoleSplitHost host;
  HaltOnFirstInterrupt();
  SplitResult result = RunSplit(job, host);
  host.progress().Done();
  if (result.outcome != SplitOutcome::kCompleted) {
    ReportFailure(SplitOutcomeText(result.outcome), result.failedPath, result.failureReason);
    return kExitFailed;
  }
  std::printf("%s\n", SplitOutcomeText(result.outcome));
  return kExitDone;
}

}  // namespace

void AddSplitCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "split", "Cuts FILE into tracks that start at the given times, without re-encoding.");
  auto options = std::make_shared<SplitOptions>();
  command->add_option("FILE", options->source, "The constant-bit-rate MP3 file to split")
      ->required();
  command->add_option("--times", options->times,
                      "Comma-separated track start times, mmm:ss.pp (minutes, seconds, "
                      "hundredths); 0:00 is added before the first when missing")
      ->required();
  command->add_flag("--equal", options->equalSegments,
                    "Split the whole file into segments as long as the first time after 0:00");
  command
      ->add_option("--name", options->nameTemplate,
                   "Track name template; %file%, %track%, %artist% and %title% are filled in")
      ->capture_default_str()
      ->check([](const std::string& text) {
        return text.size() > kMaxTemplateChars ? "the template is longer than 256 characters"
                                               : "";
      });
  command->add_option("--folder", options->folder,
                      "Folder for the tracks (default: the source file's folder)");
  command->footer(
      "Examples:\n"
      "  mp3partwell split concert.mp3 --times 0:00,4:12.50,9:03\n"
      "  mp3partwell split show.mp3 --times 30:00 --equal --name \"Show part %track%\" "
      "--folder parts");
  command->callback([options, &exitCode] { exitCode = Split(*options); });
}

}  // namespace partwell::cli
