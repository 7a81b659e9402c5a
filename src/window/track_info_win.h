// The Track Info dialog: the artist and title of the selected track time.
#pragma once

#include <windows.h>

namespace partwell {

// Opens the Track Info dialog for the selected time of the page's list, when one is
// selected; OK stores the artist and title in that time's entry.
void EditTrackInfo(HWND page);

}  // namespace partwell
