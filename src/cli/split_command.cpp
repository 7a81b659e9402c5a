#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/progress.h"
#include "io/file.h"
#include "mpeg/source_probe.h"
#include "split/cue_sheet.h"
#include "split/split_engine.h"
#include "split/track_naming.h"
#include "split/track_time.h"
#include "split/track_time_list.h"

namespace partwell::cli {
namespace {

struct SplitOptions {
  std::string source;
  std::string times;
  std::string cue;
  bool fromCue = false;
  bool equalSegments = false;
  bool exact = false;
  bool tags = false;
  std::string remove;
  std::string nameTemplate = "%file% - %track%";
  std::string folder;
};

std::string WithTrailingSeparator(const std::string& folder) {
  if (folder.empty() || IsPathSeparator(folder.back())) return folder;
  return folder + kPathSeparator;
}

// Probes the source as the documented mode needs it, filling the job's probe fields; prints
// why not when the source cannot be split that way.
bool ProbeForDocumentedSplit(SplitJob& job) {
  ProbeResult probe = ProbeSourceFile(job.sourcePath);
  if (probe.outcome == ProbeOutcome::kCannotOpen) {
    File file = File::OpenForReading(job.sourcePath);
    ReportFailure(JobOutcomeText(JobKind::kSplit, JobOutcome::kFileError), job.sourcePath,
                  SystemErrorText(file.LastError()));
    return false;
  }
  if (probe.outcome != ProbeOutcome::kAccepted) {
    std::fprintf(stderr, "%s\n", ProbeRefusalText(probe.outcome));
    return false;
  }
  job.bitRate = probe.bitRate;
  job.bitRateIndex = probe.bitRateIndex;
  job.firstFrame = probe.firstFrame;
  return true;
}

int Split(const SplitOptions& options) {
  TrackTimeList times;
  SplitJob job;
  if (options.fromCue) {
    CueSheetResult sheet = ReadCueSheetFile(options.cue, options.source);
    if (!sheet.ok()) {
      std::fprintf(stderr, "The CUE sheet could not be used.\n%s: %s\n", options.cue.c_str(),
                   sheet.refusal.c_str());
      return kExitFailed;
    }
    if (!ReplaceTrackTimes(sheet.entries, times)) {
      std::fprintf(stderr, "%s: the track list refused a time of the sheet\n",
                   options.cue.c_str());
      return kExitFailed;
    }
    job.album = sheet.discTitle;
    job.albumArtist = sheet.discPerformer;
  } else {
    AddTimes(options.times, times);
  }
  std::string folder = WithTrailingSeparator(options.folder);
  if (folder.size() > kMaxPathChars) {
    throw CLI::ValidationError("--folder", "the folder's path is longer than 259 characters");
  }
  job.sourcePath = options.source;
  job.nameTemplate = options.nameTemplate;
  job.folder = folder;
  job.equalSegments = options.equalSegments;
  job.entries = times.Snapshot();
  job.exact = options.exact;
  job.tags = options.tags;
  if (!options.remove.empty()) job.remove = ReadTimeRanges(options.remove, "--remove");
  // The exact mode reads the source itself and gives its own refusals.
  if (!job.exact && !ProbeForDocumentedSplit(job)) return kExitFailed;

  ConsoleJobHost host("Creating... [%03d]");
  JobReport report = RunSplit(job, host);
  host.Done();
  return ReportJob(report);
}

}  // namespace

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

void AddSplitCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "split", "Cuts FILE into tracks that start at the given times, without re-encoding.");
  auto options = std::make_shared<SplitOptions>();
  command->add_option("FILE", options->source,
                      "The MP3 file to split: constant bit rate, or any with --exact")
      ->required();
  auto* times = command->add_option(
      "--times", options->times,
      "Comma-separated track start times, mmm:ss.pp (minutes, seconds, hundredths); 0:00 "
      "is added before the first when missing");
  auto* cue = command->add_option(
      "--cue", options->cue,
      "A CUE sheet whose INDEX 01 times, performers and titles give the tracks (instead of "
      "--times)");
  times->excludes(cue);
  command->add_flag("--equal", options->equalSegments,
                    "Split the whole file into segments as long as the first time after 0:00");
  command->add_flag("--exact", options->exact,
                    "Exact cuts: each track holds exactly the samples between its times and "
                    "plays gapless; variable-bit-rate files too");
  command->add_flag("--tags", options->tags,
                    "Tag each track: an ID3v2 tag with its title, artist, number \"n/N\", the "
                    "album (a CUE sheet's disc TITLE and PERFORMER) and the source's other tags "
                    "and cover; its own ID3v1 tag when the source has one");
  command
      ->add_option("--remove", options->remove,
                   "With --exact: comma-separated ranges START-END (\"end\" for the end) left "
                   "out of the tracks, as `cut --remove` leaves them out; a track wholly inside "
                   "them is not written, the others are numbered as written")
      ->needs(command->get_option("--exact"));
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
      "--folder parts\n"
      "  mp3partwell split live.mp3 --cue live.cue --name \"%track% %artist% - %title%\"\n"
      "  mp3partwell split album.mp3 --cue album.cue --exact\n"
      "  mp3partwell split show.mp3 --times 0:00,30:00 --exact --remove 12:00-15:30\n"
      "  mp3partwell split album.mp3 --cue album.cue --tags --name \"%track% %title%\"");
  command->callback([options, times, cue, &exitCode] {
    if (times->count() + cue->count() == 0) throw CLI::RequiredError("--times or --cue");
    options->fromCue = cue->count() > 0;
    exitCode = Split(*options);
  });
}

}  // namespace partwell::cli
