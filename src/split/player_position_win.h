// Taking a track time from the play position of a running Winamp player.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace partwell {

// The time text "mmm:ss.pp" of a play position in milliseconds, computed in double
// precision the way the player's position has always been turned into a time here (so
// 1040 ms gives 000:01.03, one hundredth less than the exact split).
std::string PlayerPositionText(int32_t milliseconds);

// Asks the player for its position (waiting at most two seconds for the answer) and adds
// it to the track time list; warns when no player answers.
void GrabPlayerPosition(HWND page);

}  // namespace partwell
