#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/overview_svg.h"
#include "analysis/quick_levels.h"
#include "analysis/silence_search.h"
#include "cli/commands.h"
#include "cli/track_lists.h"
#include "cli/progress.h"
#include "io/file.h"
#include "split/cue_sheet.h"
#include "split/track_time_list.h"

namespace partwell::cli {
namespace {

struct OverviewOptions {
  std::string source;
  std::string times;
  std::string cue;
  bool silences = false;
  std::string svg;
  int width = 1200;
};

// The picture never replaces a file it is made from.
bool WouldReplaceAnInput(const OverviewOptions& options) {
  std::optional<FileIdentity> out = IdentifyPath(options.svg);
  if (!out) return false;
  return out == IdentifyPath(options.source) ||
         (!options.cue.empty() && out == IdentifyPath(options.cue));
}

bool ReadMarks(const OverviewOptions& options, OverviewPicture& picture) {
  std::vector<TrackEntry> entries;
  if (!options.cue.empty()) {
    TrackList list = TrackListOfCueSheet(options.cue, options.source);
    if (!list.failure.empty()) return false;
    entries = std::move(list.entries);
  } else if (!options.times.empty()) {
    TrackTimeList times;
    AddTimes(options.times, times);
    entries = times.Snapshot();
  }
  for (const TrackEntry& entry : entries) {
    picture.marks.push_back({entry.offset, entry.title});
  }
  return true;
}

int Draw(const OverviewOptions& options) {
  if (WouldReplaceAnInput(options)) {
    std::fprintf(stderr, "%s: the picture would replace a file it is made from\n",
                 options.svg.c_str());
    return kExitFailed;
  }
  OverviewPicture picture;
  picture.name = std::filesystem::u8path(options.source).filename().u8string();
  picture.width = options.width;
  picture.showPauses = options.silences;
  if (!ReadMarks(options, picture)) return kExitFailed;

  ConsoleJobHost host({"Reading... [%02d%%]", nullptr});
  QuickLevels levels;
  JobReport report = MeasureQuickLevels(options.source, host, levels);
  host.Done();
  if (report.completed() && options.silences) {
    ConsoleJobHost listening(kPercentProgress);
    SilenceSearch search = SearchSilences(options.source, SilenceSettings(), listening);
    listening.Done();
    report = search.report;
    for (const Silence& silence : search.silences) {
      picture.pauses.push_back({silence.start, silence.end});
    }
  }
  if (!report.completed()) {
    ReportFailure(JobReportText(report), report.failedPath, report.failureReason);
    return kExitFailed;
  }
  std::string svg = OverviewSvg(levels, picture);
  File out = File::CreateAlways(options.svg);
  if (!out.IsOpen() || !out.Write(svg.data(), svg.size()) || !out.Close()) {
    std::fprintf(stderr, "The picture could not be written.\n%s: %s\n", options.svg.c_str(),
                 SystemErrorText(out.LastError()).c_str());
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

void AddOverviewCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "overview",
      "Draws FILE's levels from start to end as an SVG picture, with a time axis, each track "
      "start marked and numbered, and the pauses found shaded.");
  auto options = std::make_shared<OverviewOptions>();
  command->add_option("FILE", options->source, "The MP3 file to draw")->required();
  auto* times = command->add_option(
      "--times", options->times,
      "Comma-separated track start times to mark, mmm:ss.pp (as split --times takes them)");
  auto* cue = command->add_option("--cue", options->cue,
                                  "A CUE sheet whose tracks are marked, numbered and titled");
  times->excludes(cue);
  command->add_flag("--silences", options->silences,
                    "Shades the pauses the silences command finds with its defaults");
  command->add_option("--svg", options->svg, "The SVG file to write")->required();
  command->add_option("--width", options->width, "The picture's width in pixels")
      ->capture_default_str()
      ->check(CLI::Range(kNarrowestOverview, kWidestOverview));
  command->footer(
      "The levels are read from the compressed frames without decoding them (a few seconds "
      "for hours of audio); they show how loud the music is, within a few decibels.\n"
      "Examples:\n"
      "  mp3partwell overview concert.mp3 --svg concert.svg\n"
      "  mp3partwell overview album.mp3 --cue album.cue --silences --svg album.svg --width 1600");
  command->callback([options, &exitCode] { exitCode = Draw(*options); });
}

}  // namespace partwell::cli
