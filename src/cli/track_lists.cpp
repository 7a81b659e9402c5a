#include "cli/track_lists.h"

#include <cstdio>
#include <memory>

#include "analysis/silence_search.h"
#include "cli/progress.h"
#include "cli/silence_arguments.h"
#include "split/chapter_tracks.h"
#include "split/cue_sheet.h"
#include "split/cue_sheet_finder.h"
#include "split/track_time.h"
#include "split/track_time_list.h"

namespace partwell::cli {
namespace {

TrackList Failure(const std::string& why) {
  TrackList list;
  list.failure = why;
  return list;
}

TrackList FromCueSheetBeside(const std::string& source) {
  FoundCueSheet found = FindCueSheetBeside(source);
  if (found.path.empty()) {
    std::fprintf(stderr, "%s: %s\n", source.c_str(), found.refusal.c_str());
    return Failure(found.refusal);
  }
  return TrackListOfCueSheet(found.path, source);
}

TrackList FromChapters(const std::string& source) {
  TrackTimeList times;
  std::string refusal = ReadChapterTracks(source, times);
  if (!refusal.empty()) {
    std::fprintf(stderr, "The chapters could not be used.\n%s: %s\n", source.c_str(),
                 refusal.c_str());
    return Failure(refusal);
  }
  TrackList list;
  list.entries = times.Snapshot();
  return list;
}

TrackList FromSilences(const SilenceOptions& options, const std::string& source, bool quiet) {
  ConsoleJobHost host(kPercentProgress, quiet);
  SilenceSearch search = SearchSilences(source, SettingsOf(options), host);
  host.Done();
  const JobReport& report = search.report;
  if (!report.completed()) {
    ReportFailure(JobReportText(report), report.failedPath, report.failureReason);
    TrackList list =
        Failure(report.failureReason.empty() ? JobReportText(report) : report.failureReason);
    list.halted = report.outcome == JobOutcome::kCancelled;
    return list;
  }
  if (!quiet) PrintSilences(search.silences, false);
  WarnOfMissingSilences(search.silences.size(), options.tracks);
  TrackTimeList times;
  for (const Silence& silence : search.silences) {
    auto entry = std::make_unique<TrackEntry>();
    SetTimeText(*entry, FormatTimeText(TimePartsOfOffset(silence.cut)));
    times.AddTrackTime(std::move(entry));
  }
  // With no pause there is nothing to cut: the file stays whole rather than being copied.
  if (times.empty()) return Failure("no pause to cut at was found");
  TrackList list;
  list.entries = times.Snapshot();
  return list;
}

}  // namespace

TrackList TrackListFor(const TrackListRule& rule, const std::string& source, bool quiet) {
  switch (rule.kind) {
    case TrackListKind::kTimes: {
      TrackList list;
      list.entries = rule.times;
      return list;
    }
    case TrackListKind::kCueSheet:
      return TrackListOfCueSheet(rule.sheet, source);
    case TrackListKind::kCueBeside:
      return FromCueSheetBeside(source);
    case TrackListKind::kChapters:
      return FromChapters(source);
    case TrackListKind::kSilences:
      return FromSilences(rule.silences, source, quiet);
  }
  return Failure("no track list");
}

TrackList TrackListOfCueSheet(const std::string& sheetPath, const std::string& source) {
  CueSheetResult sheet = ReadCueSheetFile(sheetPath, source);
  if (!sheet.ok()) {
    std::fprintf(stderr, "The CUE sheet could not be used.\n%s: %s\n", sheetPath.c_str(),
                 sheet.refusal->c_str());
    return Failure(sheetPath + ": " + *sheet.refusal);
  }
  TrackTimeList times;
  if (!ReplaceTrackTimes(sheet.entries, times)) {
    std::fprintf(stderr, "%s: the track list refused a time of the sheet\n", sheetPath.c_str());
    return Failure(sheetPath + ": the track list refused a time of the sheet");
  }
  TrackList list;
  list.entries = times.Snapshot();
  list.album = sheet.discTitle;
  list.albumArtist = sheet.discPerformer;
  return list;
}

}  // namespace partwell::cli
