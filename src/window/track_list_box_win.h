// The Split page's track time list and the list box that mirrors it. The list, with the
// disc texts of a CUE import and the removed parts, lives in a window property of the page; item i
// of the sorted list box shows entry i's time text and carries a pointer to the entry as its item
// data. Every Split page command that reads or changes the list goes through here.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "split/track_time_list.h"
#include "view/removed_ranges.h"

namespace partwell {

// Gives the page an empty list (at WM_INITDIALOG), and frees it (at WM_NCDESTROY, when
// the list box that pointed into it is gone; a running worker has its own copy).
void AttachTrackTimes(HWND page);
void DetachTrackTimes(HWND page);

// The track time list that the page's list box mirrors.
TrackTimeList& PageTrackTimes(HWND page);

// Hands a new entry, whose time text holds the raw text, to the list; on success the list
// box shows it, the time box is emptied and gets the focus.
bool AddTrackTime(HWND page, std::unique_ptr<TrackEntry> entry);
// Adds an entry as AddTrackTime does, leaving the time box and the focus alone (the
// Overview's "Add Time"); the index of the new entry, or nothing when the list refused it.
std::optional<size_t> InsertTrackTime(HWND page, std::unique_ptr<TrackEntry> entry);
// Moves entry `index` (not the zero marker) to `offset`, which must lie strictly between its
// neighbours: it keeps its artist and title, is typed as a time from then on, and stays
// selected. False when the list refused the move, which leaves it as it was.
bool MoveTrackTime(HWND page, size_t index, int32_t offset);
// "Add Time": adds the time typed in the time box (read to 9 characters).
void AddTypedTime(HWND page);
// "Remove Time": removes the selected time when the list allows it, and selects the item
// that takes its place.
void RemoveTrackTime(HWND page);
// "Clear List": empties the list and the list box.
void ClearTrackList(HWND page);
// The album and its artist that came with the list: a CUE sheet's disc TITLE and PERFORMER.
struct DiscTexts {
  std::string title;
  std::string performer;
};

// Replaces the whole track time list by `times`, with the disc texts that come with it,
// and shows it in the list box, with no item selected.
void ReplacePageTrackTimes(HWND page, TrackTimeList&& times, DiscTexts disc = {});
// The disc texts of the list: those of the last CUE import, until the list is cleared
// (choosing a source clears it) or replaced.
const DiscTexts& PageDiscTexts(HWND page);

// The parts of the source marked removed in the Overview, which exact cuts leave out of the
// tracks, until another source is chosen.
RemovedRanges& PageRemovedRanges(HWND page);

// The entry behind the list box's selected item, or null without a selection.
TrackEntry* SelectedEntry(HWND listBox);

}  // namespace partwell
