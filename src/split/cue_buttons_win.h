// The Split page's CUE sheet buttons: importing the track time list from a sheet and
// exporting it to one.
#pragma once

#include <windows.h>

namespace partwell {

// "Import Track Times From .CUE File": asks for a sheet and, when it reads, replaces the
// track time list by its times, artists and titles. A sheet that cannot be used is named
// in a warning, with the reason, and the list stays as it was.
void ImportCueSheet(HWND page);

// "Export Track Times To .CUE File": asks where to save and writes the list there, with
// the source's file name when a source is chosen. An empty list is refused with a
// warning before any dialog; a failed write gives a warning with the reason.
void ExportCueSheet(HWND page);

}  // namespace partwell
