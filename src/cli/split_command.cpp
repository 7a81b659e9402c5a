#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/silence_arguments.h"
#include "cli/track_lists.h"
#include "io/file.h"
#include "mpeg/source_probe.h"
#include "split/batch_summary.h"
#include "split/split_engine.h"
#include "split/split_preview.h"
#include "split/track_naming.h"
#include "split/track_time.h"
#include "split/track_time_list.h"

namespace partwell::cli {
namespace {

// The --cue value that takes each file's own sheet beside it.
constexpr const char* kCueBeside = "auto";

struct SplitOptions {
  std::vector<std::string> sources;
  std::string times;
  std::string cue;
  bool atSilences = false;
  SilenceOptions silences;
  bool chapters = false;
  bool equalSegments = false;
  bool exact = false;
  bool tags = false;
  bool dryRun = false;
  bool quiet = false;
  std::string remove;                   // with --exact: ranges left out of every file's tracks
  std::vector<TimeRange> removeRanges;  // read from `remove` before the first file
  std::string nameTemplate = "%file% - %track%";
  std::string folder;
};

std::string WithTrailingSeparator(const std::string& folder) {
  if (folder.empty() || IsPathSeparator(folder.back())) return folder;
  return folder + kPathSeparator;
}

std::string TimeText(int64_t hundredths) { return FormatTimeText(TimePartsOfOffset(hundredths)); }

BatchFile Failed(const std::string& path, const std::string& reason, int tracks = 0) {
  return {path, BatchFileOutcome::kFailed, tracks, reason};
}

// What the summary says of a job that did not complete: the message of a refusal, the file
// and the system's words for a file error.
std::string FailureOf(const JobReport& report, const std::string& source) {
  if (report.outcome != JobOutcome::kFileError) return JobReportText(report);
  return (report.failedPath == source || report.failedPath.empty() ? ""
                                                                   : report.failedPath + ": ") +
         report.failureReason;
}

// Probes the source as the documented mode needs it, filling the job's probe fields; prints
// why not, and returns it, when the source cannot be split that way.
std::string ProbeForBlockSplit(SplitJob& job) {
  ProbeResult probe = ProbeSourceFile(job.sourcePath);
  if (probe.outcome == ProbeOutcome::kCannotOpen) {
    File file = File::OpenForReading(job.sourcePath);
    std::string reason = SystemErrorText(file.LastError());
    ReportFailure(JobOutcomeText(JobKind::kSplit, JobOutcome::kFileError), job.sourcePath, reason);
    return reason;
  }
  if (probe.outcome != ProbeOutcome::kAccepted) {
    std::fprintf(stderr, "%s\n", ProbeRefusalText(probe.outcome));
    return ProbeRefusalText(probe.outcome);
  }
  job.bitRate = probe.bitRate;
  job.bitRateIndex = probe.bitRateIndex;
  job.firstFrame = probe.firstFrame;
  return {};
}

// Prints the tracks a split would write, one line each: start, end, length and file.
BatchFile DryRun(const SplitJob& job) {
  SplitPreview preview = PreviewSplit(job);
  if (!preview.report.completed()) {
    ReportJob(preview.report);
    return Failed(job.sourcePath, FailureOf(preview.report, job.sourcePath));
  }
  std::printf("Start      End        Length     Track\n");
  for (const PlannedTrack& track : preview.tracks) {
    std::printf("%s  %s  %s  %s\n", TimeText(track.start).c_str(), TimeText(track.end).c_str(),
                TimeText(track.end - track.start).c_str(), track.name.c_str());
  }
  std::fflush(stdout);
  return {job.sourcePath, BatchFileOutcome::kPlanned, static_cast<int>(preview.tracks.size()), ""};
}

BatchFile SplitFile(const SplitOptions& options, const TrackListRule& rule,
                    const std::string& source, const std::vector<FileIdentity>& sources,
                    ConsoleJobHost& host) {
  TrackList list = TrackListFor(rule, source, options.quiet);
  if (list.halted) return {source, BatchFileOutcome::kHalted, 0, ""};
  if (!list.failure.empty()) return Failed(source, list.failure);
  SplitJob job;
  job.sourcePath = source;
  job.nameTemplate = options.nameTemplate;
  job.folder = WithTrailingSeparator(options.folder);
  job.equalSegments = options.equalSegments;
  job.entries = std::move(list.entries);
  job.exact = options.exact;
  job.tags = options.tags;
  job.album = list.album;
  job.albumArtist = list.albumArtist;
  job.otherSources = sources;
  job.remove = options.removeRanges;
  // The exact mode reads the source itself and gives its own refusals.
  if (!job.exact) {
    std::string refusal = ProbeForBlockSplit(job);
    if (!refusal.empty()) return Failed(source, refusal);
  }
  if (options.dryRun) return DryRun(job);

  JobReport report = RunSplit(job, host);
  host.Done();
  ReportJob(report, options.quiet);
  if (report.completed()) return {source, BatchFileOutcome::kSplit, report.unitsDone, ""};
  if (report.outcome == JobOutcome::kCancelled) {
    return {source, BatchFileOutcome::kHalted, report.unitsDone, ""};
  }
  return Failed(source, FailureOf(report, source), report.unitsDone);
}

int ExitCode(const BatchSummary& summary) {
  if (summary.halted()) return kExitHalted;
  return summary.Count(BatchFileOutcome::kFailed) > 0 ? kExitFailed : kExitDone;
}

// Splits every source by the rule, one after another: a failure goes into the summary and the
// next file follows; Ctrl-C halts the file in progress and leaves the rest. The summary table
// follows a split of several files.
int SplitAll(const SplitOptions& options, const TrackListRule& rule) {
  if (WithTrailingSeparator(options.folder).size() > kMaxPathChars) {
    throw CLI::ValidationError("--folder", "the folder's path is longer than " +
                                               std::to_string(kMaxPathChars) + " characters");
  }
  // No track of one file may replace another of the files still to be split.
  std::vector<FileIdentity> identities;
  if (options.sources.size() > 1) {
    for (const std::string& source : options.sources) {
      if (std::optional<FileIdentity> identity = IdentifyPath(source)) {
        identities.push_back(*identity);
      }
    }
  }
  ConsoleJobHost host(kTrackProgress, options.quiet);
  BatchSummary summary;
  for (size_t i = 0; i < options.sources.size(); ++i) {
    const std::string& source = options.sources[i];
    if (summary.halted() || host.HaltRequested()) {
      summary.Add({source, BatchFileOutcome::kNotStarted, 0, ""});
      continue;
    }
    host.FileStarted(source, i + 1, options.sources.size());
    summary.Add(SplitFile(options, rule, source, identities, host));
  }
  if (options.sources.size() > 1) std::printf("\n%s", summary.Table().c_str());
  return ExitCode(summary);
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
      "split", "Cuts each FILE into tracks that start at the given times, without re-encoding.");
  auto options = std::make_shared<SplitOptions>();
  command
      ->add_option("FILE", options->sources,
                   "The MP3 files to split, one after another: constant bit rate, or any with "
                   "--exact")
      ->required();
  auto* times = command->add_option(
      "--times", options->times,
      "Comma-separated track start times, mmm:ss.pp (minutes, seconds, hundredths); 0:00 "
      "is added before the first when missing");
  auto* cue = command->add_option(
      "--cue", options->cue,
      "A CUE sheet whose INDEX 01 times, performers and titles give the tracks (instead of "
      "--times); \"auto\" takes each file's own: the .cue of its name beside it, else the "
      ".cue in its folder whose FILE line names it");
  auto* atSilences = command->add_flag(
      "--at-silences", options->atSilences,
      "Cuts at the times the silences command proposes, printing them first; the options "
      "below choose the pauses as they do for it");
  times->excludes(cue);
  auto* chapters = command->add_flag(
      "--chapters", options->chapters,
      "The chapters of FILE's ID3v2 tag (CHAP frames) give the tracks: their starts (to the "
      "sample with --exact) and titles (instead of --times or --cue)");
  chapters->excludes(times)->excludes(cue);
  atSilences->excludes(times)->excludes(cue)->excludes(chapters);
  for (CLI::Option* option : AddSilenceOptions(*command, options->silences)) {
    option->needs(atSilences);
  }
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
                   "Track name template; %file% (each FILE's name), %track%, %artist% and "
                   "%title% are filled in")
      ->capture_default_str()
      ->check([](const std::string& text) {
        return text.size() > kMaxTemplateChars
                   ? "the template is longer than " + std::to_string(kMaxTemplateChars) +
                         " characters"
                   : std::string();
      });
  command->add_option("--folder", options->folder,
                      "Folder for the tracks (default: each source file's folder)");
  command->add_flag("--dry-run", options->dryRun,
                    "Prints each track's start, end, length and file name, and writes nothing");
  command->add_flag("--quiet", options->quiet,
                    "Prints only errors and, for several files, the summary");
  command->footer(
      "With several files, each is split by the same rule (its own sheet with --cue auto); "
      "one file's failure does not stop the rest, and a summary table (file, tracks written "
      "or the reason) ends the run: exit code 1 when any file failed, 130 when halted.\n"
      "Examples:\n"
      "  mp3partwell split concert.mp3 --times 0:00,4:12.50,9:03\n"
      "  mp3partwell split show.mp3 --times 30:00 --equal --name \"Show part %track%\" "
      "--folder parts\n"
      "  mp3partwell split live.mp3 --cue live.cue --name \"%track% %artist% - %title%\"\n"
      "  mp3partwell split album.mp3 --cue album.cue --exact\n"
      "  mp3partwell split show.mp3 --times 0:00,30:00 --exact --remove 12:00-15:30\n"
      "  mp3partwell split album.mp3 --cue album.cue --tags --name \"%track% %title%\"\n"
      "  mp3partwell split rips/*.mp3 --cue auto --exact --folder tracks\n"
      "  mp3partwell split book.mp3 --at-silences --speech --dry-run\n"
      "  mp3partwell split book.mp3 --chapters --exact --tags --name \"%track% %title%\"");
  command->callback([options, times, cue, chapters, &exitCode] {
    TrackListRule rule;
    if (options->atSilences) {
      rule.kind = TrackListKind::kSilences;
      rule.silences = options->silences;
    } else if (cue->count() > 0) {
      rule.kind = options->cue == kCueBeside ? TrackListKind::kCueBeside : TrackListKind::kCueSheet;
      rule.sheet = options->cue;
    } else if (chapters->count() > 0) {
      rule.kind = TrackListKind::kChapters;
    } else if (times->count() > 0) {
      TrackTimeList list;
      AddTimes(options->times, list);
      rule.times = list.Snapshot();
    } else {
      throw CLI::RequiredError("--times, --cue, --chapters or --at-silences");
    }
    if (!options->remove.empty()) {
      if (options->dryRun) {
        throw CLI::ValidationError("--remove", "a dry run does not plan the ranges removed");
      }
      options->removeRanges = ReadTimeRanges(options->remove, "--remove");
    }
    exitCode = SplitAll(*options, rule);
  });
}

}  // namespace partwell::cli
