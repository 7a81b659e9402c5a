// The Split page: the source, the output name template and folder, the options, the track
// time list (see track_list_box_win.h), and the start of the split worker.
#pragma once

#include <windows.h>

#include <string>

#include "split/split_job.h"

namespace partwell {

INT_PTR CALLBACK SplitPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Opens and probes the chosen source. A constant bit rate is accepted, and a variable one
// too while "Exact cuts" is checked. On acceptance it stores the probe's values in the
// page's property list and shows the path and the bit rate ("VBR" for a variable one); a
// refusal shows the probe's message. The track time list is emptied in every case.
void LoadSourceFile(HWND page, const std::string& path);

// True while "Exact cuts" is checked.
bool ExactCutsChosen(HWND page);
// The split job as "Create Tracks" reads it from the page, on the user-interface thread;
// with exact cuts, the Overview's removed parts are left out of the tracks.
SplitJob PageSplitJob(HWND page);

}  // namespace partwell
