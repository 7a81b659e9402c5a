#include "window/find_silences_win.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "analysis/silence_search.h"
#include "window/job_control_win.h"
#include "window/message_box_win.h"
#include "split/cue_sheet.h"
#include "window/silence_dialog_win.h"
#include "window/track_list_box_win.h"
#include "split/track_time.h"

namespace partwell {
namespace {

// The search takes the page as a split does, with a status of its own.
const PageJobTexts kListenJobTexts = {"Create Tracks", "Status: Listening... [%02d%%]"};

const char kNoPauseText[] =
    "No pause was found in this file, so the track time list was left as it was.  A higher "
    "threshold or a shorter minimum pause may find some.";

struct SilenceJob {
  HWND page = nullptr;
  std::string sourcePath;
  SilenceOptions options;
};

// The proposed start of the track after each silence, as typed times.
std::vector<TrackEntry> ProposedEntries(const std::vector<Silence>& silences) {
  std::vector<TrackEntry> entries(silences.size());
  for (size_t i = 0; i < silences.size(); ++i) {
    SetTimeText(entries[i], FormatTimeText(TimePartsOfOffset(silences[i].cut)));
  }
  return entries;
}

// Puts the proposed times in the page's list and returns what the user should be told
// about them, if anything: fewer pauses than the tracks asked for, or times past the
// list's last minute.
std::string ShowProposedTimes(HWND page, const std::vector<Silence>& silences, int tracks) {
  TrackTimeList times;
  bool all = ReplaceTrackTimes(ProposedEntries(silences), times);
  CallOnPageThread(page, [&](HWND shown) { ReplacePageTrackTimes(shown, std::move(times)); });
  if (!all) {
    return "The track time list holds times below 1000 minutes: the pauses after 999:59.99 "
           "were left out.";
  }
  if (tracks > 0 && silences.size() + 1 < static_cast<size_t>(tracks)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Only %zu of the %d pauses between %d tracks were found.  A higher threshold "
                  "may find more.",
                  silences.size(), tracks - 1, tracks);
    return text;
  }
  return {};
}

std::string FailureText(const JobReport& report) {
  std::string text = JobReportText(report);
  if (!report.failureReason.empty()) {
    text += "\n\n" + report.failedPath + "\n\n" + report.failureReason;
  }
  return text;
}

DWORD WINAPI SilenceWorker(void* parameter) {
  std::unique_ptr<SilenceJob> job(static_cast<SilenceJob*>(parameter));
  PageJobHost host(job->page, kListenJobTexts);
  SilenceSearch search = SearchSilences(job->sourcePath, SettingsOf(job->options), host);
  std::string text;
  UINT style = MB_ICONINFORMATION;
  const JobReport& report = search.report;
  if (report.completed()) {
    text = search.silences.empty()
               ? kNoPauseText
               : ShowProposedTimes(job->page, search.silences, job->options.tracks);
  } else if (report.outcome != JobOutcome::kCancelled) {
    text = FailureText(report);
    style = MB_ICONWARNING;
  }
  EndPageJob(job->page, kListenJobTexts, report.jobStarted, text.c_str(), style);
  return report.completed() ? 1 : 0;
}

}  // namespace

void FindSilences(HWND page, const std::string& sourcePath) {
  // The button is disabled while a job runs: it never halts one.
  if (!ActionCaptionIs(page, kListenJobTexts.idleCaption)) return;
  auto readJob = [&sourcePath](HWND owner) {
    auto job = std::make_unique<SilenceJob>();
    job->page = owner;
    job->sourcePath = sourcePath;
    if (!AskSilenceOptions(owner, job->options)) job.reset();
    return job;
  };
  if (!StartOrHaltJob(page, kListenJobTexts, readJob, SilenceWorker)) {
    ShowPageMessage(page, JobOutcomeText(JobKind::kLevels, JobOutcome::kFileError), MB_ICONWARNING);
  }
}

}  // namespace partwell
