// The time text of a media player's play position.
#pragma once

#include <cstdint>
#include <string>

namespace partwell {

// The time text "mmm:ss.pp" of a play position in milliseconds, computed in double
// precision (so 1040 ms gives 000:01.03, one hundredth less than the exact split).
std::string PlayerPositionText(int32_t milliseconds);

}  // namespace partwell
