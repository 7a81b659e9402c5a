#include "split/player_position.h"

#include <cstdio>

namespace partwell {

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

}  // namespace partwell
