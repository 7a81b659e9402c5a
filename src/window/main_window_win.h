// The main window: the tab control over the four pages, Quit, and the message loop.
#pragma once

#include <windows.h>

#include "job/property_list.h"

namespace partwell {

// Registers the common controls the templates use (tab control, up-down control).
void InitWindowControls();

// Creates the main window from its template with the list as creation parameter, and
// stores the list as its user data. The window is not shown yet.
HWND CreateMainWindow(PropertyList* list);

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK HelpPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The page shown now.
HWND CurrentPage();

// Runs the message loop until WM_QUIT and returns its exit code. Messages are offered to
// the Split page, the Join page and the main window for their keyboard handling.
int RunMessageLoop(HWND mainWindow, HWND splitPage, HWND joinPage);

}  // namespace partwell
