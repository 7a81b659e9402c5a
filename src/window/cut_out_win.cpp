#include "window/cut_out_win.h"

#include <memory>

#include "resource_ids.h"
#include "split/cut_job.h"
#include "window/file_dialog_win.h"
#include "window/job_control_win.h"
#include "window/message_box_win.h"

namespace partwell {

const char kSaveCutTitle[] = "Save Without Removed Parts";

namespace {

const char kNothingRemovedText[] =
    "No part is marked removed.  Select a part with Shift and the mouse, then press X.";

// The page takes a new job: it runs none and none is starting.
bool PageIsFree(HWND page) {
  return ActionCaptionIs(page, kSplitJobTexts.idleCaption) && !IsStarting(page);
}

struct CutWorkerJob {
  HWND page = nullptr;
  CutJob job;
};

DWORD WINAPI CutWorker(void* parameter) {
  std::unique_ptr<CutWorkerJob> work(static_cast<CutWorkerJob*>(parameter));
  PageJobHost host(work->page, kSplitJobTexts);
  CutResult result = RunCut(work->job, host);
  EndJob(work->page, kSplitJobTexts, result.report);
  return result.report.completed() ? 1 : 0;
}

}  // namespace

void SaveWithoutRemovedParts(HWND owner, HWND page, const std::string& sourcePath,
                             const std::vector<TimeRange>& removed, bool smooth) {
  if (!PageIsFree(page)) {
    MessageBeep(MB_ICONWARNING);
    return;
  }
  if (removed.empty()) {
    ShowPageMessage(owner, kNothingRemovedText, MB_ICONWARNING);
    return;
  }
  char path[MAX_PATH] = "";
  OPENFILENAMEA dialog = Mp3FileDialog(owner, path, sizeof path, kSaveCutTitle,
                                       OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT);
  dialog.lpstrDefExt = "mp3";
  if (!GetSaveFileNameA(&dialog)) {
    if (FileDialogPathTooLong()) ShowPageMessage(owner, kPathTooLongText, MB_ICONWARNING);
    return;
  }
  if (!PageIsFree(page)) {  // a job started while the dialog was open: it is not halted
    MessageBeep(MB_ICONWARNING);
    return;
  }
  auto readJob = [&](HWND shown) {
    auto work = std::make_unique<CutWorkerJob>();
    work->page = shown;
    work->job.sourcePath = sourcePath;
    work->job.destination = path;
    work->job.remove = removed;
    work->job.smooth = smooth;
    work->job.tags = IsDlgButtonChecked(shown, IDC_TAG_TRACKS) == BST_CHECKED;
    return work;
  };
  if (!StartOrHaltJob(page, kSplitJobTexts, readJob, CutWorker)) {
    ShowPageMessage(page, JobOutcomeText(JobKind::kSplit, JobOutcome::kFileError), MB_ICONWARNING);
  }
}

}  // namespace partwell
