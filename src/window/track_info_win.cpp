#include "window/track_info_win.h"

#include "resource_ids.h"
#include "window/track_list_box_win.h"

namespace partwell {
namespace {

void ReadField(HWND dialog, int id, char (&field)[kTrackTextChars + 1]) {
  char text[kTrackTextChars + 1] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  SetTrackText(field, text);
}

INT_PTR CALLBACK TrackInfoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      HWND list = reinterpret_cast<HWND>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(list));
      SendDlgItemMessageA(dialog, IDC_ARTIST, EM_LIMITTEXT, kTrackTextChars, 0);
      SendDlgItemMessageA(dialog, IDC_TITLE, EM_LIMITTEXT, kTrackTextChars, 0);
      if (TrackEntry* entry = SelectedEntry(list)) {
        SetDlgItemTextA(dialog, IDC_ARTIST, entry->artist);
        SetDlgItemTextA(dialog, IDC_TITLE, entry->title);
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        HWND list = reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, DWLP_USER));
        TrackEntry* entry = SelectedEntry(list);
        if (!entry) return TRUE;
        ReadField(dialog, IDC_ARTIST, entry->artist);
        ReadField(dialog, IDC_TITLE, entry->title);
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void EditTrackInfo(HWND page) {
  HWND list = GetDlgItem(page, IDC_LIST);
  if (SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR) return;
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TRACK_INFO), page, TrackInfoProc,
                  reinterpret_cast<LPARAM>(list));
}

}  // namespace partwell
