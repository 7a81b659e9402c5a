// What the Overview plays: a stretch of the source's timeline, or the documented mode's two
// tracks around a cut (view/cut_preview.h), as readers for Playback. Both prepare on the
// playback thread, at their first read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "view/cut_preview.h"
#include "window/playback_win.h"

namespace partwell {

// Samples [from, to) of the file's timeline.
PcmReader TimelineReader(const std::string& path, int64_t from, int64_t to);
// The documented mode's cut before entry `index` of the page's list, with the page's
// options, for a source of `rate` and `channels`; an empty reader, with the words to show,
// when that mode does not take the source.
PcmReader BlockCutReader(HWND page, size_t index, long rate, int channels, std::string& failure);

}  // namespace partwell
