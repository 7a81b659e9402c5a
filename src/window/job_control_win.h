// Job control shared by the Split and Join pages. The job state is the caption of the
// page's action button; the status line shows the progress. A worker reaches the page only
// through window messages, which the user-interface thread serves one at a time.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "job/job_host.h"
#include "job/job_report.h"

namespace partwell {

// The captions and texts of one page's jobs.
struct PageJobTexts {
  const char* idleCaption;     // "Create Tracks" / "Merge Tracks"
  const char* progressFormat;  // "Status: Creating... [%03d]" / "Status: Joining... [%03d]"
};

extern const PageJobTexts kSplitJobTexts;
extern const PageJobTexts kJoinJobTexts;

extern const char kCancelCaption[];   // "Cancel"
extern const char kHaltingCaption[];  // "Halting..."
extern const char kIdleStatus[];      // "Status: Idle"

// True when the action button's caption is exactly `caption` (read with a limit of 20).
bool ActionCaptionIs(HWND page, const char* caption);

// Disables every descendant of the page but the action button and the status line
// (flag 1), or enables every descendant (flag 0).
BOOL CALLBACK EnablePageControlsProc(HWND child, LPARAM flag);

// Taking the page: controls disabled, the caption becomes "Cancel".
void TakePage(HWND page);
// Giving the page back: idle caption, "Status: Idle", every control enabled.
void GivePageBack(HWND page, const PageJobTexts& texts);
// The halt request: the caption becomes "Halting...".
void RequestHalt(HWND page);
// Puts the idle caption and "Status: Idle" back at once (a halt that has been seen).
void ShowIdle(HWND page, const PageJobTexts& texts);
// Shows the progress text for unit `number` (1-based) on the status line.
void ShowProgress(HWND page, const PageJobTexts& texts, int number);

// The starting guard. Between a click that starts a job and the worker taking the page
// (or giving up before it), the caption still shows the idle caption; the page is marked
// as starting for that time, so that a second click does not start a second job. The mark
// lives on the page window and is only touched on the user-interface thread: a worker
// clears it by sending kJobLeftStartingMessage, which the page procedure hands to
// HandleJobMessage.
constexpr UINT kJobLeftStartingMessage = WM_APP + 1;
// A worker's call of a routine on the user-interface thread (see CallOnPageThread).
constexpr UINT kJobCallMessage = WM_APP + 2;
// Called first by a page procedure for every message: true when the message was the job
// control's own and has been handled.
bool HandleJobMessage(HWND page, UINT message, LPARAM lParam);
bool IsStarting(HWND page);
void BeginStarting(HWND page);
void EndStarting(HWND page);
// From a worker: the job has left the Starting state.
void LeaveStarting(HWND page);
// From a worker: runs `routine` with the page on the user-interface thread and returns when
// it has run, so that the routine may change what only that thread may touch (the track
// time list). Nothing runs when the page is gone.
void CallOnPageThread(HWND page, const std::function<void(HWND)>& routine);

// Starts `routine` with `job` on a detached worker thread; false when no thread could be
// made (the caller still owns the job then).
bool StartWorker(LPTHREAD_START_ROUTINE routine, void* job);

// A click on the action button of a page whose precondition holds. On a running page it
// asks the job to halt. On an idle page that is not starting already, it reads the job
// from the page here, on the user-interface thread, marks the page as starting and hands
// the job to a new worker running `routine`, which owns it from then on. `readJob` (the
// page -> a std::unique_ptr to the job) may refuse the job by returning null, having told
// the user why; the page stays idle. False when no worker could be started.
template <typename ReadJob>
bool StartOrHaltJob(HWND page, const PageJobTexts& texts, ReadJob readJob,
                    LPTHREAD_START_ROUTINE routine) {
  if (!ActionCaptionIs(page, texts.idleCaption)) {
    RequestHalt(page);
    return true;
  }
  if (IsStarting(page)) return true;  // the second click of a double click
  auto job = readJob(page);
  if (!job) return true;
  BeginStarting(page);
  if (!StartWorker(routine, job.get())) {
    EndStarting(page);
    return false;
  }
  job.release();
  return true;
}

// A worker's view of its page: taking it, the caption poll (a halt that is seen puts the
// idle caption and "Status: Idle" back at once) and the progress text.
class PageJobHost : public JobHost {
 public:
  PageJobHost(HWND page, const PageJobTexts& texts) : page_(page), texts_(texts) {}
  void JobStarted() override;
  bool HaltRequested() override;
  void UnitStarted(int number) override { ShowProgress(page_, texts_, number); }

 private:
  HWND page_;
  const PageJobTexts& texts_;
};

// From a worker whose job has ended: gives the page back when the job took it, else ends
// the Starting state; then shows `text`, unless it is empty, in a message box of `style`.
void EndPageJob(HWND page, const PageJobTexts& texts, bool jobStarted, const char* text,
                UINT style);
// EndPageJob with the report's message (information for a completed job, a warning
// otherwise).
void EndJob(HWND page, const PageJobTexts& texts, const JobReport& report);

}  // namespace partwell
