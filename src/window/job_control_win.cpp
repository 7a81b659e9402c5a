#include "window/job_control_win.h"

#include <cstdio>
#include <cstring>

#include "resource_ids.h"
#include "window/message_box_win.h"

namespace partwell {

const PageJobTexts kSplitJobTexts = {"Create Tracks", "Status: Creating... [%03d]"};
const PageJobTexts kJoinJobTexts = {"Merge Tracks", "Status: Joining... [%03d]"};

const char kCancelCaption[] = "Cancel";
const char kHaltingCaption[] = "Halting...";
const char kIdleStatus[] = "Status: Idle";

namespace {
const char kStartingProperty[] = "PartwellJobStarting";
}

bool ActionCaptionIs(HWND page, const char* caption) {
  char text[20] = "";
  GetDlgItemTextA(page, IDC_ACTION, text, sizeof text);
  return std::strcmp(text, caption) == 0;
}

BOOL CALLBACK EnablePageControlsProc(HWND child, LPARAM flag) {
  if (flag) {
    HWND parent = GetParent(child);
    if (child != GetDlgItem(parent, IDC_ACTION) && child != GetDlgItem(parent, IDC_STATUS)) {
      EnableWindow(child, FALSE);
    }
  } else {
    EnableWindow(child, TRUE);
  }
  return TRUE;
}

void TakePage(HWND page) {
  EnumChildWindows(page, EnablePageControlsProc, 1);
  SetDlgItemTextA(page, IDC_ACTION, kCancelCaption);
}

void RequestHalt(HWND page) { SetDlgItemTextA(page, IDC_ACTION, kHaltingCaption); }

void ShowIdle(HWND page, const PageJobTexts& texts) {
  SetDlgItemTextA(page, IDC_ACTION, texts.idleCaption);
  SetDlgItemTextA(page, IDC_STATUS, kIdleStatus);
}

void GivePageBack(HWND page, const PageJobTexts& texts) {
  ShowIdle(page, texts);
  EnumChildWindows(page, EnablePageControlsProc, 0);
}

void ShowProgress(HWND page, const PageJobTexts& texts, int number) {
  char status[32];
  std::snprintf(status, sizeof status, texts.progressFormat, number);
  SetDlgItemTextA(page, IDC_STATUS, status);
}

bool IsStarting(HWND page) { return GetPropA(page, kStartingProperty) != nullptr; }

void BeginStarting(HWND page) { SetPropA(page, kStartingProperty, reinterpret_cast<HANDLE>(1)); }

void EndStarting(HWND page) { RemovePropA(page, kStartingProperty); }

bool HandleJobMessage(HWND page, UINT message, LPARAM lParam) {
  if (message == kJobLeftStartingMessage) {
    EndStarting(page);
    return true;
  }
  if (message == kJobCallMessage) {
    (*reinterpret_cast<const std::function<void(HWND)>*>(lParam))(page);
    return true;
  }
  if (message == WM_NCDESTROY) EndStarting(page);  // a window's properties go with it
  return false;
}

void LeaveStarting(HWND page) { SendMessageA(page, kJobLeftStartingMessage, 0, 0); }

void CallOnPageThread(HWND page, const std::function<void(HWND)>& routine) {
  SendMessageA(page, kJobCallMessage, 0, reinterpret_cast<LPARAM>(&routine));
}

void PageJobHost::JobStarted() {
  TakePage(page_);
  LeaveStarting(page_);
}

bool PageJobHost::HaltRequested() {
  if (!ActionCaptionIs(page_, kHaltingCaption)) return false;
  ShowIdle(page_, texts_);
  return true;
}

void EndPageJob(HWND page, const PageJobTexts& texts, bool jobStarted, const char* text,
                UINT style) {
  if (jobStarted) {
    GivePageBack(page, texts);
  } else {
    LeaveStarting(page);
  }
  if (*text) ShowPageMessage(page, text, style);
}

void EndJob(HWND page, const PageJobTexts& texts, const JobReport& report) {
  EndPageJob(page, texts, report.jobStarted, JobReportText(report),
             report.completed() ? MB_ICONINFORMATION : MB_ICONWARNING);
}

bool StartWorker(LPTHREAD_START_ROUTINE routine, void* job) {
  HANDLE thread = CreateThread(nullptr, 0, routine, job, 0, nullptr);
  if (!thread) return false;
  CloseHandle(thread);  // the worker runs detached: nothing waits for it
  return true;
}

}  // namespace partwell
