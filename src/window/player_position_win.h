// Taking a track time from the play position of a running Winamp player.
#pragma once

#include <windows.h>

namespace partwell {

// Asks the player for its position (waiting at most two seconds for the answer) and adds
// it to the track time list; warns when no player answers.
void GrabPlayerPosition(HWND page);

}  // namespace partwell
