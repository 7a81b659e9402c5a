#include "window/split_page_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>

#include "mpeg/source_probe.h"
#include "resource_ids.h"
#include "window/file_dialog_win.h"
#include "window/job_control_win.h"
#include "window/message_box_win.h"
#include "window/property_list_win.h"
#include "window/cue_buttons_win.h"
#include "window/find_silences_win.h"
#include "window/overview_win.h"
#include "window/player_position_win.h"
#include "split/source_properties.h"
#include "split/split_engine.h"
#include "window/track_info_win.h"
#include "window/track_list_box_win.h"
#include "split/track_naming.h"

namespace partwell {
namespace {

const char kFieldInfoText[] =
    "Possible fields that will be parsed are:\n\n"
    "%file%\t  Source file that is being split\n"
    "%track%\t  Current track number\n"
    "%artist%\t  Artist name\n"
    "%title%\t  Title of song\n\n"
    "The '%artist%' and '%title%' fields are set when importing a .CUE file, or can be set "
    "manually by double clicking a track or selecting 'Track Naming'";

const char kMissingInputText[] =
    "Please choose a source file and a destination name before you continue.";

std::string ItemText(HWND page, int id) {
  char text[MAX_PATH] = "";
  GetDlgItemTextA(page, id, text, sizeof text);
  return text;
}

// The chosen source's path, as the page shows it; empty when none is chosen.
std::string SourcePath(HWND page) { return ItemText(page, IDC_SOURCE); }

void ChooseSourceFile(HWND page) {
  char path[MAX_PATH] = "";
  OPENFILENAMEA dialog =
      Mp3FileDialog(page, path, sizeof path, "Select An MP3 Source File", OFN_FILEMUSTEXIST);
  if (!GetOpenFileNameA(&dialog)) {
    if (FileDialogPathTooLong()) ShowPageMessage(page, kPathTooLongText, MB_ICONWARNING);
    return;
  }
  LoadSourceFile(page, path);
}

void ChooseDestinationFolder(HWND page) {
  BROWSEINFOA browse = {};
  browse.hwndOwner = page;
  browse.lpszTitle = "Please choose the directory to output created tracks to.";
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  LPITEMIDLIST item = SHBrowseForFolderA(&browse);
  if (!item) return;
  char path[MAX_PATH] = "";
  BOOL found = SHGetPathFromIDListA(item, path);
  CoTaskMemFree(item);
  if (!found || !path[0]) return;
  std::string folder = path;
  if (folder.back() != '\\') folder += '\\';
  // A folder of 259 characters has no room for its backslash: refuse it rather than cut it.
  if (folder.size() > kMaxPathChars) {
    ShowPageMessage(page, kPathTooLongText, MB_ICONWARNING);
    return;
  }
  SetDlgItemTextA(page, IDC_FOLDER, folder.c_str());
}

struct SplitWorkerJob {
  HWND page;
  SplitJob job;
};

DWORD WINAPI SplitWorker(void* parameter) {
  std::unique_ptr<SplitWorkerJob> work(static_cast<SplitWorkerJob*>(parameter));
  PageJobHost host(work->page, kSplitJobTexts);
  JobReport report = RunSplit(work->job, host);
  EndJob(work->page, kSplitJobTexts, report);
  return report.completed() ? 1 : 0;
}

// Reads what the split works from, on the user-interface thread, at the click that starts
// it: nothing the user changes afterwards reaches the worker. A source that only exact
// cuts take, chosen before their box was unchecked, is refused as "Browse..." would now
// refuse it: the message is shown and there is no job.
std::unique_ptr<SplitWorkerJob> ReadSplitJob(HWND page) {
  const PropertyList* list = WindowPropertyList(page);
  bool exact = ExactCutsChosen(page);
  if (!exact && StoredSourceIsVariableBitRate(list)) {
    ShowPageMessage(page, ProbeRefusalText(ProbeOutcome::kVariableBitRate), MB_ICONWARNING);
    return nullptr;
  }
  auto work = std::make_unique<SplitWorkerJob>();
  work->page = page;
  work->job = PageSplitJob(page);
  return work;
}

void StartSplitJob(HWND page) {
  // A running job may be a silence search, which needs no destination name: a click on
  // "Cancel" halts it whatever the fields hold.
  bool idle = ActionCaptionIs(page, kSplitJobTexts.idleCaption);
  if (idle && (SourcePath(page).empty() || ItemText(page, IDC_DESTINATION_NAME).empty())) {
    ShowPageMessage(page, kMissingInputText, MB_ICONWARNING);
    return;
  }
  if (!StartOrHaltJob(page, kSplitJobTexts, ReadSplitJob, SplitWorker)) {
    ShowPageMessage(page, JobOutcomeText(JobKind::kSplit, JobOutcome::kFileError), MB_ICONWARNING);
  }
}

// "Find Silences..." needs a source alone; without one it warns as "Create Tracks" does.
void FindSilencesOfSource(HWND page) {
  std::string source = SourcePath(page);
  if (source.empty()) {
    ShowPageMessage(page, kMissingInputText, MB_ICONWARNING);
    return;
  }
  FindSilences(page, source);
}

// A file dropped on the page is chosen as "Browse..." would choose it.
// Only while "Browse..." could be clicked (not during a job).
void DropSourceFile(HWND page, HDROP drop) {
  char path[MAX_PATH] = "";
  UINT length =
      IsWindowEnabled(GetDlgItem(page, IDC_BROWSE)) ? DragQueryFileA(drop, 0, nullptr, 0) : 0;
  bool fits = length > 0 && length < MAX_PATH && DragQueryFileA(drop, 0, path, sizeof path) > 0;
  DragFinish(drop);
  if (!fits) {
    if (length > 0) ShowPageMessage(page, kPathTooLongText, MB_ICONWARNING);
    return;
  }
  LoadSourceFile(page, path);
}

void OpenSourceOverview(HWND page) {
  std::string source = SourcePath(page);
  if (!source.empty()) OpenOverview(page, source);
}

}  // namespace

bool ExactCutsChosen(HWND page) { return IsDlgButtonChecked(page, IDC_EXACT_CUTS) == BST_CHECKED; }

SplitJob PageSplitJob(HWND page) {
  SplitJob job;
  job.sourcePath = SourcePath(page);
  job.nameTemplate = ItemText(page, IDC_DESTINATION_NAME);
  job.folder = ItemText(page, IDC_FOLDER);
  job.equalSegments = IsDlgButtonChecked(page, IDC_EQUAL_SEGMENTS) == BST_CHECKED;
  job.exact = ExactCutsChosen(page);
  job.tags = IsDlgButtonChecked(page, IDC_TAG_TRACKS) == BST_CHECKED;
  job.entries = PageTrackTimes(page).Snapshot();
  job.album = PageDiscTexts(page).title;
  job.albumArtist = PageDiscTexts(page).performer;
  if (job.exact) job.remove = PageRemovedRanges(page).ranges();
  ReadStoredProbe(WindowPropertyList(page), job);
  return job;
}

void LoadSourceFile(HWND page, const std::string& path) {
  ProbeResult probe = ProbeSourceFile(path);
  // Exact cuts find every frame themselves, so they take a variable bit rate too.
  bool variable = probe.outcome == ProbeOutcome::kVariableBitRate && ExactCutsChosen(page);
  if (probe.outcome == ProbeOutcome::kAccepted || variable) {
    CloseOverview();
    PageRemovedRanges(page).Clear();
    EnableWindow(GetDlgItem(page, IDC_OVERVIEW), TRUE);
    StoreProbeResult(WindowPropertyList(page), probe);
    SetDlgItemTextA(page, IDC_SOURCE, path.c_str());
    char bitRate[40] = "Bit Rate: VBR";
    if (!variable) std::snprintf(bitRate, sizeof bitRate, "Bit Rate: %d kbps", probe.bitRate);
    SetDlgItemTextA(page, IDC_BIT_RATE, bitRate);
  } else if (const char* refusal = ProbeRefusalText(probe.outcome)) {
    ShowPageMessage(page, refusal,
                    ProbeRefusalIsWarning(probe.outcome) ? MB_ICONWARNING : MB_ICONINFORMATION);
  }
  ClearTrackList(page);
}

INT_PTR CALLBACK SplitPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HandleJobMessage(page, message, lParam)) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      AttachTrackTimes(page);
      SendDlgItemMessageA(page, IDC_DESTINATION_NAME, EM_LIMITTEXT, kMaxTemplateChars, 0);
      SetDlgItemTextA(page, IDC_DESTINATION_NAME, "%file% - %track%");
      DragAcceptFiles(page, TRUE);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_BROWSE:
          ChooseSourceFile(page);
          break;
        case IDC_ADD:
          AddTypedTime(page);
          break;
        case IDC_LIST:
          if (HIWORD(wParam) == LBN_DBLCLK) EditTrackInfo(page);
          break;
        case IDC_FIELD_INFO:
          ShowPageMessage(page, kFieldInfoText, MB_OK);
          break;
        case IDC_CHOOSE_FOLDER:
          ChooseDestinationFolder(page);
          break;
        case IDC_GRAB_POSITION:
          GrabPlayerPosition(page);
          break;
        case IDC_CUE_IMPORT:
          ImportCueSheet(page, SourcePath(page));
          break;
        case IDC_CUE_EXPORT:
          ExportCueSheet(page, SourcePath(page));
          break;
        case IDC_FIND_SILENCES:
          FindSilencesOfSource(page);
          break;
        case IDC_CHAPTERS:
          ImportChapters(page, SourcePath(page));
          break;
        case IDC_ACTION:
          StartSplitJob(page);
          break;
        case IDC_REMOVE:
          RemoveTrackTime(page);
          break;
        case IDC_CLEAR:
          ClearTrackList(page);
          break;
        case IDC_TRACK_NAMING:
          EditTrackInfo(page);
          break;
        case IDC_OVERVIEW:
          OpenSourceOverview(page);
          break;
      }
      return FALSE;
    case WM_DROPFILES:
      DropSourceFile(page, reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_NCDESTROY:
      DetachTrackTimes(page);
      return FALSE;
  }
  return FALSE;
}

}  // namespace partwell
