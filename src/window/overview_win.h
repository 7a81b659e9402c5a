// The Overview window of the Split page's source: the whole recording's levels in a strip,
// a zoomed view with a time ruler, the track marks of the page's list (numbered, with their
// titles), the pauses the silence search finds, a cursor, and playback: from the cursor, and
// "Play Cut", the 3 s before and after the selected mark as the written tracks will decode.
// Parts selected in it and marked removed (the page's, view/removed_ranges.h) are hatched;
// "Play Cut" in one plays its seam, and "Save Without Removed Parts..." writes the source
// without them. Modeless, top-level, one at a time; its drawing arithmetic is TimelineView's.
#pragma once

#include <windows.h>

#include <string>

namespace partwell {

extern const char kOverviewClass[];  // "PartwellOverview"

// Opens the Overview of `sourcePath` for the page, or brings the open one forward.
void OpenOverview(HWND page, const std::string& sourcePath);
// Closes the open Overview, if any (the source changes; the program quits with its owner).
void CloseOverview();
// The open Overview, or null.
HWND OverviewWindow();

}  // namespace partwell
