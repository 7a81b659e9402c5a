/* Drives the running MP3 Partwell window from outside, for the screenshots:
     drive-window.exe tab N               select tab N (0 Split, 1 Join, 2 Help, 3 About)
     drive-window.exe text PAGE ID TEXT   set the text of control ID on page PAGE (split|join)
     drive-window.exe click PAGE ID       press button ID on page PAGE
     drive-window.exe item PAGE TEXT      append TEXT to the page's list box
     drive-window.exe post PAGE ID        press button ID without waiting (one that opens a dialog)
     drive-window.exe open PATH           type PATH into the open dialog and press Open
     drive-window.exe select PAGE ROW     select row ROW of the page's list box
     drive-window.exe key VK...           press keys (virtual-key codes) in the Overview
     drive-window.exe point X Y           click the Overview at X, Y of its client area
     drive-window.exe quit                press the main window's Quit button
   Exits 1 when the window or the control is not there. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static HWND FindPage(HWND main, int markerId) {
  HWND child = NULL;
  while ((child = FindWindowExA(main, child, "#32770", NULL)) != NULL) {
    if (GetDlgItem(child, markerId)) return child;
  }
  return NULL;
}

int main(int argc, char** argv) {
  HWND main = FindWindowA("#32770", "MP3 Partwell v1.5");
  if (!main || argc < 2) return 1;
  if (strcmp(argv[1], "quit") == 0) {
    HWND quit = GetDlgItem(main, 1027);
    return !PostMessageA(main, WM_COMMAND, MAKEWPARAM(1027, BN_CLICKED), (LPARAM)quit);
  }
  if (argc < 3) return 1;
  if (strcmp(argv[1], "open") == 0) {
    HWND dialog = FindWindowA("#32770", "Select An MP3 Source File");
    if (!dialog) return 1;
    SendMessageA(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, (LPARAM)argv[2]);
    return !PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         (LPARAM)GetDlgItem(dialog, IDOK));
  }
  HWND overview = FindWindowA("PartwellOverview", NULL);
  if (strcmp(argv[1], "key") == 0) {
    for (int i = 2; i < argc && overview; ++i) {
      SendMessageA(overview, WM_KEYDOWN, (WPARAM)atoi(argv[i]), 0);
    }
    return overview == NULL;
  }
  if (strcmp(argv[1], "point") == 0 && argc == 4) {
    LPARAM at = MAKELPARAM(atoi(argv[2]), atoi(argv[3]));
    if (!overview) return 1;
    SendMessageA(overview, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(overview, WM_LBUTTONUP, 0, at);
    return 0;
  }
  if (strcmp(argv[1], "tab") == 0) {
    HWND tabs = GetDlgItem(main, 1044);
    int target = atoi(argv[2]);
    int now = (int)SendMessageA(tabs, 0x1300 + 11 /* TCM_GETCURSEL */, 0, 0);
    for (; now < target; ++now) SendMessageA(tabs, WM_KEYDOWN, VK_RIGHT, 0);
    for (; now > target; --now) SendMessageA(tabs, WM_KEYDOWN, VK_LEFT, 0);
    return 0;
  }
  HWND page = FindPage(main, strcmp(argv[2], "join") == 0 ? 1040 : 1000);
  if (!page) return 1;
  if (strcmp(argv[1], "text") == 0 && argc == 5) {
    return SetDlgItemTextA(page, atoi(argv[3]), argv[4]) ? 0 : 1;
  }
  if (strcmp(argv[1], "click") == 0 && argc == 4) {
    HWND button = GetDlgItem(page, atoi(argv[3]));
    if (!button) return 1;
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(atoi(argv[3]), BN_CLICKED), (LPARAM)button);
    return 0;
  }
  if (strcmp(argv[1], "post") == 0 && argc == 4) {
    HWND button = GetDlgItem(page, atoi(argv[3]));
    return !button ||
           !PostMessageA(page, WM_COMMAND, MAKEWPARAM(atoi(argv[3]), BN_CLICKED), (LPARAM)button);
  }
  if (strcmp(argv[1], "select") == 0 && argc == 4) {
    return SendDlgItemMessageA(page, 1007, LB_SETCURSEL, atoi(argv[3]), 0) < 0;
  }
  if (strcmp(argv[1], "item") == 0 && argc == 4) {
    return SendDlgItemMessageA(page, 1007, LB_ADDSTRING, 0, (LPARAM)argv[3]) < 0;
  }
  return 1;
}
