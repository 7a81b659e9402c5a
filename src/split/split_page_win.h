// The Split page: the source, the output name template and folder, the track time list,
// and the split worker.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "split/track_time_list.h"

namespace partwell {

INT_PTR CALLBACK SplitPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The track time list that the page's list box mirrors: item i shows entry i's time text
// and carries a pointer to it as its item data.
TrackTimeList& PageTrackTimes(HWND page);

// Opens and probes the chosen source. On acceptance it stores the probe's values in the
// page's property list and shows the path and the bit rate; a refusal shows the probe's
// message. The track time list is emptied in every case.
void LoadSourceFile(HWND page, const std::string& path);

// Hands a new entry, whose time text holds the raw text, to the list; on success the list
// box shows it, the time box is emptied and gets the focus.
bool AddTrackTime(HWND page, std::unique_ptr<TrackEntry> entry);

// Replaces the whole track time list by `times` and shows it in the list box, with no
// item selected.
void ReplacePageTrackTimes(HWND page, TrackTimeList&& times);

// Opens the Track Info dialog for the selected time of the page's list, when one is selected.
void EditTrackInfo(HWND page);

}  // namespace partwell
