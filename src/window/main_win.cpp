// The window program's entry point.
#include <windows.h>

#include "resource_ids.h"
#include "window/main_window_win.h"
#include "job/property_list.h"

using namespace partwell;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitWindowControls();
  int exitCode = 0;
  {
    PropertyListPtr list = MakePropertyList();
    HWND window = CreateMainWindow(list.get());
    HWND splitPage = static_cast<HWND>(FindProperty(list.get(), kSplitWindowKey));
    HWND joinPage = static_cast<HWND>(FindProperty(list.get(), kMergeWindowKey));
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PARTWELL));
    SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    ShowWindow(window, SW_SHOW);
    exitCode = RunMessageLoop(window, splitPage, joinPage);
    DestroyIcon(icon);
  }
  // A job may still run: its worker works from its own copy of the page's inputs and is
  // ended with the process here, leaving the file it was writing as far as it got.
  ExitProcess(static_cast<UINT>(exitCode));
}
