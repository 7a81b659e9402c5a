// The Find Silences dialog: the threshold, the minimum pause or the speech preset, and an
// optional number of tracks for the silence search.
#pragma once

#include <windows.h>

#include "analysis/silence_options.h"

namespace partwell {

// Shows the dialog, owned by the page, with the defaults (-48 dBFS, pauses of 0.5 s, no
// number of tracks). OK checks the fields: one that cannot be used is named in a warning
// and the dialog stays open; else the options are stored in `options` and true returned.
// Cancel returns false.
bool AskSilenceOptions(HWND page, SilenceOptions& options);

}  // namespace partwell
