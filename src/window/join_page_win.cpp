#include "window/join_page_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "join/join_engine.h"
#include "join/smooth_join.h"
#include "join/source_paths.h"
#include "resource_ids.h"
#include "split/smooth_seam.h"
#include "window/file_dialog_win.h"
#include "window/job_control_win.h"
#include "window/message_box_win.h"

namespace partwell {
namespace {

const char kMissingInputText[] =
    "Please select a destination file and fill in the track list with two or more items for "
    "joining.";

HWND ListBox(HWND page) { return GetDlgItem(page, IDC_LIST); }

void AddJoinSources(HWND page) {
  std::vector<char> names(64000, '\0');
  OPENFILENAMEA dialog = Mp3FileDialog(page, names.data(), static_cast<DWORD>(names.size()),
                                       "Select MP3 Source File(s)",
                                       OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST);
  if (!GetOpenFileNameA(&dialog)) return;
  std::vector<std::string> paths;
  if (!ComposeSourcePaths(names.data(), names.size(), dialog.nFileOffset, paths)) {
    ShowPageMessage(page, kPathTooLongText, MB_ICONWARNING);
    return;
  }
  for (const std::string& path : paths) {
    SendMessageA(ListBox(page), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
  }
}

// Files dropped on the page join the list in the order dropped, as "Add..." adds them, and
// only when "Add..." could be clicked (not during a join).
void DropJoinSources(HWND page, HDROP drop) {
  bool tooLong = false;
  UINT count =
      IsWindowEnabled(GetDlgItem(page, IDC_ADD)) ? DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) : 0;
  for (UINT i = 0; i < count; ++i) {
    char path[MAX_PATH] = "";
    UINT length = DragQueryFileA(drop, i, nullptr, 0);
    if (length == 0 || length >= MAX_PATH || DragQueryFileA(drop, i, path, sizeof path) == 0) {
      tooLong = tooLong || length > 0;
      continue;
    }
    SendMessageA(ListBox(page), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
  }
  DragFinish(drop);
  if (tooLong) ShowPageMessage(page, kPathTooLongText, MB_ICONWARNING);
}

// Moves the selected item one place: up for a negative delta, down for a positive one.
void MoveJoinItem(HWND list, int delta) {
  LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR || delta == 0) return;
  LRESULT target = selected + (delta < 0 ? -1 : 1);
  if (target < 0 || target >= SendMessageA(list, LB_GETCOUNT, 0, 0)) return;
  char text[MAX_PATH] = "";
  if (SendMessageA(list, LB_GETTEXTLEN, selected, 0) >= MAX_PATH) return;
  SendMessageA(list, LB_GETTEXT, selected, reinterpret_cast<LPARAM>(text));
  SendMessageA(list, LB_DELETESTRING, selected, 0);
  SendMessageA(list, LB_INSERTSTRING, target, reinterpret_cast<LPARAM>(text));
  SendMessageA(list, LB_SETCURSEL, target, 0);
}

void RemoveJoinItem(HWND page) {
  HWND list = ListBox(page);
  LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (selected != LB_ERR) SendMessageA(list, LB_DELETESTRING, selected, 0);
  SendMessageA(list, LB_SETCURSEL, selected, 0);
}

void ChooseJoinDestination(HWND page) {
  char path[MAX_PATH] = "";
  OPENFILENAMEA dialog = Mp3FileDialog(page, path, sizeof path, "Select MP3 Destination File",
                                       OFN_EXPLORER | OFN_PATHMUSTEXIST);
  dialog.lpstrDefExt = ".mp3";
  if (GetSaveFileNameA(&dialog)) {
    SetDlgItemTextA(page, IDC_DESTINATION_NAME, path);
  } else if (FileDialogPathTooLong()) {
    ShowPageMessage(page, kPathTooLongText, MB_ICONWARNING);
  }
}

struct JoinWorkerJob {
  HWND page;
  std::string destination;
  std::vector<std::string> sources;
  bool chapters = false;  // "One chapter per file"
  bool smooth = false;    // "Smooth joins"
};

DWORD WINAPI JoinWorker(void* parameter) {
  std::unique_ptr<JoinWorkerJob> work(static_cast<JoinWorkerJob*>(parameter));
  PageJobHost host(work->page, kJoinJobTexts);
  JobReport report = work->smooth ? RunSmoothJoin(work->destination, work->sources, host,
                                                  kDefaultCrossfadeMs, work->chapters)
                                  : RunJoin(work->destination, work->sources, host, work->chapters);
  EndJob(work->page, kJoinJobTexts, report);
  return report.completed() ? 1 : 0;
}

// Reads the destination and the list on the user-interface thread, at the click that
// starts the join: nothing the user changes afterwards reaches the worker.
std::unique_ptr<JoinWorkerJob> ReadJoinJob(HWND page) {
  auto work = std::make_unique<JoinWorkerJob>();
  work->page = page;
  char text[MAX_PATH] = "";
  GetDlgItemTextA(page, IDC_DESTINATION_NAME, text, sizeof text);
  work->destination = text;
  work->chapters = IsDlgButtonChecked(page, IDC_ONE_CHAPTER_PER_FILE) == BST_CHECKED;
  work->smooth = IsDlgButtonChecked(page, IDC_SMOOTH_JOINS) == BST_CHECKED;
  HWND list = ListBox(page);
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, i, 0);
    std::vector<char> item(static_cast<size_t>(length < 0 ? 0 : length) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    work->sources.emplace_back(item.data());
  }
  return work;
}

void StartJoinJob(HWND page) {
  if (GetWindowTextLengthA(GetDlgItem(page, IDC_DESTINATION_NAME)) == 0 ||
      SendMessageA(ListBox(page), LB_GETCOUNT, 0, 0) < 2) {
    ShowPageMessage(page, kMissingInputText, MB_OK | MB_ICONWARNING);
    return;
  }
  if (!StartOrHaltJob(page, kJoinJobTexts, ReadJoinJob, JoinWorker)) {
    ShowPageMessage(page, JobOutcomeText(JobKind::kJoin, JobOutcome::kFileError),
                    MB_OK | MB_ICONWARNING);
  }
}

}  // namespace

INT_PTR CALLBACK JoinPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HandleJobMessage(page, message, lParam)) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      SendMessageA(ListBox(page), LB_SETHORIZONTALEXTENT, 1000, 0);
      DragAcceptFiles(page, TRUE);
      return TRUE;
    case WM_DROPFILES:
      DropJoinSources(page, reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CHOOSE_DESTINATION:
          ChooseJoinDestination(page);
          break;
        case IDC_ADD:
          AddJoinSources(page);
          break;
        case IDC_ACTION:
          StartJoinJob(page);
          break;
        case IDC_REMOVE:
          RemoveJoinItem(page);
          break;
        case IDC_CLEAR:
          SendMessageA(ListBox(page), LB_RESETCONTENT, 0, 0);
          break;
      }
      return FALSE;
    case WM_NOTIFY:
      if (wParam == IDC_MOVE && reinterpret_cast<NMHDR*>(lParam)->code == UDN_DELTAPOS) {
        MoveJoinItem(ListBox(page), reinterpret_cast<NMUPDOWN*>(lParam)->iDelta);
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace partwell
