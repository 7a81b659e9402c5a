#include "window/main_window_win.h"

#include <commctrl.h>

#include "window/join_page_win.h"
#include "resource_ids.h"
#include "window/property_list_win.h"
#include "window/split_page_win.h"

namespace partwell {
namespace {

HWND gCurrentPage = nullptr;

struct PageInfo {
  const char* tabLabel;
  int templateId;
  DLGPROC proc;
  PropertyKey key;
  const char* propertyName;
};

// In creation order, which is also the order of the tabs: the page of tab i is under key 4 + i.
const PageInfo kPages[] = {
    {"Split", IDD_SPLIT, SplitPageProc, kSplitWindowKey, "Split Window"},
    {"Join", IDD_JOIN, JoinPageProc, kMergeWindowKey, "Merge Window"},
    {"Help", IDD_HELP, HelpPageProc, kHelpWindowKey, "Help Window"},
    {"About", IDD_ABOUT, AboutPageProc, kAboutWindowKey, "About Window"},
};

void InsertTabs(HWND tabs) {
  for (int i = 0; i < 4; ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(kPages[i].tabLabel);
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
}

void CreatePages(HWND window, PropertyList* list) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  // The pages sit 25 by 40 pixels into the window at 96 dpi, and as far at any other.
  HDC dc = GetDC(window);
  int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(window, dc);
  for (const PageInfo& info : kPages) {
    HWND page = CreateDialogParamA(instance, MAKEINTRESOURCEA(info.templateId), window, info.proc,
                                   reinterpret_cast<LPARAM>(list));
    SetWindowPropertyList(page, list);
    SetWindowPos(page, HWND_TOP, MulDiv(25, dpi, 96), MulDiv(40, dpi, 96), 0, 0, SWP_NOSIZE);
    AddProperty(list, page, nullptr, info.key, info.propertyName);
  }
}

void SwitchPage(HWND window) {
  LRESULT index = SendDlgItemMessageA(window, IDC_TABS, TCM_GETCURSEL, 0, 0);
  if (index < 0 || index > 3) return;
  HWND page = static_cast<HWND>(
      FindProperty(WindowPropertyList(window), kSplitWindowKey + static_cast<int32_t>(index)));
  ShowWindow(gCurrentPage, SW_HIDE);
  gCurrentPage = page;
  ShowWindow(page, SW_SHOW);
  SetFocus(page);
}

}  // namespace

void InitWindowControls() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
}

HWND CreateMainWindow(PropertyList* list) {
  HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                   MainDialogProc, reinterpret_cast<LPARAM>(list));
  if (window) SetWindowPropertyList(window, list);
  return window;
}

HWND CurrentPage() { return gCurrentPage; }

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* list = reinterpret_cast<PropertyList*>(lParam);
      InsertTabs(GetDlgItem(window, IDC_TABS));
      CreatePages(window, list);
      gCurrentPage = static_cast<HWND>(FindProperty(list, kSplitWindowKey));
      ShowWindow(gCurrentPage, SW_SHOW);
      return TRUE;
    }
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE) SwitchPage(window);
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_QUIT) DestroyWindow(window);
      return FALSE;
    case WM_CLOSE:
      DestroyWindow(window);
      return FALSE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return FALSE;
  }
  return FALSE;
}

int RunMessageLoop(HWND mainWindow, HWND splitPage, HWND joinPage) {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(splitPage, &message) || IsDialogMessageA(joinPage, &message) ||
        IsDialogMessageA(mainWindow, &message)) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace partwell
