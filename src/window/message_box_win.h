// The message boxes of the pages: every one is owned by its page and has the program's
// caption.
#pragma once

#include <windows.h>

namespace partwell {

extern const char kMessageCaption[];  // "MP3 Partwell", the caption of every message box

// A message box owned by the page, captioned "MP3 Partwell".
int ShowPageMessage(HWND page, const char* text, UINT style);

}  // namespace partwell
