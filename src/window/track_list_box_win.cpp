#include "window/track_list_box_win.h"

#include <utility>

#include "resource_ids.h"
#include "split/track_time.h"

namespace partwell {
namespace {

const char kTrackTimesProperty[] = "PartwellTrackTimes";

// What the page's property holds.
struct PageList {
  TrackTimeList times;
  DiscTexts disc;
  RemovedRanges removed;
};

PageList& PageListOf(HWND page) {
  return *static_cast<PageList*>(GetPropA(page, kTrackTimesProperty));
}

HWND ListBox(HWND page) { return GetDlgItem(page, IDC_LIST); }

// Brings the list box in line with the model after an add: every entry that the list box
// does not show at its place is added there (the sorted list box puts it in place).
void ShowNewEntries(HWND page) {
  TrackTimeList& times = PageTrackTimes(page);
  HWND list = ListBox(page);
  for (size_t i = 0; i < times.size(); ++i) {
    LRESULT shown = SendMessageA(list, LB_GETITEMDATA, i, 0);
    if (shown == reinterpret_cast<LRESULT>(&times[i])) continue;
    LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(times[i].timeText));
    SendMessageA(list, LB_SETITEMDATA, at, reinterpret_cast<LPARAM>(&times[i]));
  }
}

}  // namespace

void AttachTrackTimes(HWND page) { SetPropA(page, kTrackTimesProperty, new PageList); }

void DetachTrackTimes(HWND page) {
  delete static_cast<PageList*>(RemovePropA(page, kTrackTimesProperty));
}

TrackTimeList& PageTrackTimes(HWND page) { return PageListOf(page).times; }

const DiscTexts& PageDiscTexts(HWND page) { return PageListOf(page).disc; }

RemovedRanges& PageRemovedRanges(HWND page) { return PageListOf(page).removed; }

std::optional<size_t> InsertTrackTime(HWND page, std::unique_ptr<TrackEntry> entry) {
  const TrackEntry* added = entry.get();
  TrackTimeList& times = PageTrackTimes(page);
  if (!times.AddTrackTime(std::move(entry))) return std::nullopt;
  ShowNewEntries(page);
  for (size_t i = 0; i < times.size(); ++i) {
    if (&times[i] == added) return i;
  }
  return std::nullopt;
}

bool MoveTrackTime(HWND page, size_t index, int32_t offset) {
  TrackTimeList& times = PageTrackTimes(page);
  if (index == 0 || index >= times.size()) return false;
  auto moved = std::make_unique<TrackEntry>(times[index]);
  SetTimeText(*moved, FormatTimeText(TimePartsOfOffset(offset)));
  moved->cueFrames = -1;
  TrackEntry kept = times[index];
  if (!times.RemoveTrackTime(index)) return false;
  SendMessageA(ListBox(page), LB_DELETESTRING, index, 0);
  std::optional<size_t> at = InsertTrackTime(page, std::move(moved));
  if (!at) {
    // Between its neighbours the new time is always taken; put the old one back if not.
    at = InsertTrackTime(page, std::make_unique<TrackEntry>(kept));
  }
  if (at) SendMessageA(ListBox(page), LB_SETCURSEL, *at, 0);
  return at && times[*at].offset == offset;
}

bool AddTrackTime(HWND page, std::unique_ptr<TrackEntry> entry) {
  if (!InsertTrackTime(page, std::move(entry))) return false;
  SetDlgItemTextA(page, IDC_TIME, "");
  SetFocus(GetDlgItem(page, IDC_TIME));
  return true;
}

void AddTypedTime(HWND page) {
  char text[kTimeTextReadLength + 1] = "";
  GetDlgItemTextA(page, IDC_TIME, text, sizeof text);
  auto entry = std::make_unique<TrackEntry>();
  SetTimeText(*entry, text);
  AddTrackTime(page, std::move(entry));
}

void RemoveTrackTime(HWND page) {
  HWND list = ListBox(page);
  LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return;
  if (!PageTrackTimes(page).RemoveTrackTime(static_cast<size_t>(selected))) return;
  SendMessageA(list, LB_DELETESTRING, selected, 0);
  SendMessageA(list, LB_SETCURSEL, selected, 0);
}

void ClearTrackList(HWND page) {
  PageTrackTimes(page).ClearTrackList();
  PageListOf(page).disc = {};
  SendMessageA(ListBox(page), LB_RESETCONTENT, 0, 0);
}

void ReplacePageTrackTimes(HWND page, TrackTimeList&& times, DiscTexts disc) {
  PageTrackTimes(page) = std::move(times);
  PageListOf(page).disc = std::move(disc);
  HWND list = ListBox(page);
  // Drawn once at the end: a sheet may hold thousands of tracks.
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  ShowNewEntries(page);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

TrackEntry* SelectedEntry(HWND listBox) {
  LRESULT selected = SendMessageA(listBox, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return nullptr;
  LRESULT data = SendMessageA(listBox, LB_GETITEMDATA, selected, 0);
  return data == LB_ERR ? nullptr : reinterpret_cast<TrackEntry*>(data);
}

}  // namespace partwell
