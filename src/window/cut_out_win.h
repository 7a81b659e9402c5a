// "Save Without Removed Parts..." of the Overview: the source less its removed parts as one
// file, chosen in a save dialog and written by the cut-out job (split/cut_job.h) on a worker
// that takes the Split page as its jobs do: the caption "Cancel", the status line's
// progress, the job's message at the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "split/split_job.h"

namespace partwell {

extern const char kSaveCutTitle[];  // "Save Without Removed Parts"

// Asks for the file (`owner` owns the dialog) and starts the job of `page`; with "Tag tracks"
// ticked the file keeps the source's ID3v2 tag, with `smooth` its seams are smooth ones.
// Nothing while the page runs a job, and only a warning without a removed part.
void SaveWithoutRemovedParts(HWND owner, HWND page, const std::string& sourcePath,
                             const std::vector<TimeRange>& removed, bool smooth);

}  // namespace partwell
