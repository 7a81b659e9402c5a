#include "window/message_box_win.h"

namespace partwell {

const char kMessageCaption[] = "MP3 Partwell";

int ShowPageMessage(HWND page, const char* text, UINT style) {
  return MessageBoxA(page, text, kMessageCaption, style);
}

}  // namespace partwell
