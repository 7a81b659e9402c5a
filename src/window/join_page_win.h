// The Join page: the ordered list of files to join, the destination, and the join worker.
#pragma once

#include <windows.h>

namespace partwell {

INT_PTR CALLBACK JoinPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace partwell
