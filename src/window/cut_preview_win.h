// What the Overview plays: a stretch of the source's timeline, the documented mode's two
// tracks around a cut, or the seam of a removed range (view/cut_preview.h), as readers for
// Playback. They prepare on the playback thread, at their first read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "view/cut_preview.h"
#include "window/playback_win.h"

namespace partwell {

// What a preview that cannot be made posts to the window that plays it: lParam is a
// std::string* with the words to show, which the window takes over.
constexpr UINT kPreviewFailedMessage = WM_APP + 11;

// Samples [from, to) of the file's timeline.
PcmReader TimelineReader(const std::string& path, int64_t from, int64_t to);
// The documented mode's cut before entry `index` of the page's list, with the page's
// options, for a source of `rate` and `channels`, played by `player`; an empty reader, with
// the words to show, when that mode does not take the source.
PcmReader BlockCutReader(HWND page, size_t index, long rate, int channels, HWND player,
                         std::string& failure);
// The cut-out file around range `index` of `removed` (with smooth seams when `smooth`),
// played by `player`; an empty reader, with the words to show, when the system names no
// folder for temporary files.
PcmReader RemovedCutReader(const std::string& path, const std::vector<TimeRange>& removed,
                           size_t index, bool smooth, int channels, HWND player,
                           std::string& failure);

}  // namespace partwell
