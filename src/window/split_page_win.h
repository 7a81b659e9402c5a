// The Split page: the source, the output name template and folder, the options, the track
// time list (see track_list_box_win.h), and the start of the split worker.
#pragma once

#include <windows.h>

#include <string>

namespace partwell {

INT_PTR CALLBACK SplitPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Opens and probes the chosen source. A constant bit rate is accepted, and a variable one
// too while "Exact cuts" is checked. On acceptance it stores the probe's values in the
// page's property list and shows the path and the bit rate ("VBR" for a variable one); a
// refusal shows the probe's message. The track time list is emptied in every case.
void LoadSourceFile(HWND page, const std::string& path);

}  // namespace partwell
