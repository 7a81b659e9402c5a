#include "window/player_position_win.h"

#include <memory>

#include "window/message_box_win.h"
#include "split/player_position.h"
#include "window/track_list_box_win.h"

namespace partwell {
namespace {

const char kPlayerClass[] = "Winamp v1.x";
constexpr LPARAM kPositionQuery = 105;
constexpr UINT kAnswerTimeoutMs = 2000;
const char kNoPlayerText[] = "Winamp is not currently running or could not be found.";

}  // namespace

void GrabPlayerPosition(HWND page) {
  HWND player = FindWindowA(kPlayerClass, nullptr);
  DWORD_PTR answer = 0;
  if (!player || !SendMessageTimeoutA(player, WM_USER, 0, kPositionQuery, SMTO_ABORTIFHUNG,
                                      kAnswerTimeoutMs, &answer)) {
    ShowPageMessage(page, kNoPlayerText, MB_OK | MB_ICONWARNING);
    return;
  }
  auto entry = std::make_unique<TrackEntry>();
  SetTimeText(*entry, PlayerPositionText(static_cast<int32_t>(answer)));
  AddTrackTime(page, std::move(entry));
}

}  // namespace partwell
