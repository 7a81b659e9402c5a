#include "split/player_position_win.h"

#include <cstdio>
#include <memory>

#include "shell/job_control_win.h"
#include "split/split_page_win.h"

namespace partwell {
namespace {

const char kPlayerClass[] = "Winamp v1.x";
constexpr LPARAM kPositionQuery = 105;
constexpr UINT kAnswerTimeoutMs = 2000;
const char kNoPlayerText[] = "Winamp is not currently running or could not be found.";

}  // namespace

std::string PlayerPositionText(int32_t milliseconds) {
  // Each step is rounded to double on its own, and each conversion truncates.
  volatile double m = milliseconds * 1.6666666666666667e-05;
  unsigned minutes = static_cast<unsigned>(static_cast<int>(m));
  volatile double fraction = m - static_cast<int>(m);
  volatile double secondsValue = fraction * 60.0;
  int seconds = static_cast<int>(secondsValue);
  volatile double rest = fraction - seconds * 0.016666666666666666;
  volatile double hundredthsValue = rest * 6000.0;
  int hundredths = static_cast<int>(hundredthsValue);
  char text[40];
  std::snprintf(text, sizeof text, "%03u:%02u.%02u", minutes, static_cast<unsigned>(seconds),
                static_cast<unsigned>(hundredths));
  return text;
}

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
