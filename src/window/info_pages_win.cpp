// The Help and About pages.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "resource_ids.h"
#include "window/main_window_win.h"

namespace partwell {
namespace {

// The help text resource holds no terminator: it is taken as exactly its bytes.
void LoadHelpText(HWND page) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_HELP_TEXT), "TEXT");
  if (!found) return;
  HGLOBAL loaded = LoadResource(module, found);
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!bytes) return;
  std::string text(bytes, SizeofResource(module, found));
  SetDlgItemTextA(page, IDC_HELP_TEXT, text.c_str());
}

const char kLinkFontProperty[] = "PartwellLinkFont";

}  // namespace

INT_PTR CALLBACK HelpPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      LoadHelpText(page);
      return TRUE;
    case WM_ACTIVATE:
      SendDlgItemMessageA(page, IDC_HELP_TEXT, EM_SETSEL, static_cast<WPARAM>(-1), 0);
      return FALSE;
    case WM_COMMAND:
      // The dialog manager selects the whole text when the page gets the focus, which also
      // scrolls it to its end: once it has done so, put the caret back at the start.
      if (LOWORD(wParam) == IDC_HELP_TEXT && HIWORD(wParam) == EN_SETFOCUS) {
        HWND text = reinterpret_cast<HWND>(lParam);
        PostMessageA(text, EM_SETSEL, 0, 0);
        PostMessageA(text, EM_SCROLLCARET, 0, 0);
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      LOGFONTA font = {};
      GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
      font.lfUnderline = TRUE;
      HFONT link = CreateFontIndirectA(&font);
      SetPropA(page, kLinkFontProperty, link);
      SendDlgItemMessageA(page, IDC_LINK, WM_SETFONT, reinterpret_cast<WPARAM>(link), FALSE);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_LINK && HIWORD(wParam) == STN_CLICKED) {
        ShellExecuteA(page, "open", PARTWELL_URL, nullptr, nullptr, SW_SHOW);
      }
      return FALSE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(page, IDC_LINK)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, 0x00FF0000);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
      }
      return FALSE;
    case WM_NCDESTROY:
      DeleteObject(RemovePropA(page, kLinkFontProperty));
      return FALSE;
  }
  return FALSE;
}

}  // namespace partwell
