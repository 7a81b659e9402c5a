#include "window/silence_dialog_win.h"

#include <cstdio>

#include "resource_ids.h"
#include "window/message_box_win.h"

namespace partwell {
namespace {

// The most characters a field takes: every number the dialog accepts is shorter.
constexpr int kFieldChars = 16;

std::string FieldText(HWND dialog, int id) {
  char text[kFieldChars + 1] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void SetNumber(HWND dialog, int id, double value) {
  char text[kFieldChars + 1];
  std::snprintf(text, sizeof text, "%g", value);
  SetDlgItemTextA(dialog, id, text);
}

// A number of tracks takes the longest pauses whatever their choice, so the choice is
// greyed while one is given; the minimum pause belongs to the music choice alone.
void ShowApplicableChoices(HWND dialog) {
  bool byPause = GetWindowTextLengthA(GetDlgItem(dialog, IDC_TRACK_COUNT)) == 0;
  bool music = IsDlgButtonChecked(dialog, IDC_PAUSE_MUSIC) == BST_CHECKED;
  EnableWindow(GetDlgItem(dialog, IDC_PAUSE_MUSIC), byPause);
  EnableWindow(GetDlgItem(dialog, IDC_PAUSE_SPEECH), byPause);
  EnableWindow(GetDlgItem(dialog, IDC_MIN_PAUSE), byPause && music);
}

int ControlOf(SilenceField field) {
  switch (field) {
    case SilenceField::kMinPause:
      return IDC_MIN_PAUSE;
    case SilenceField::kTracks:
      return IDC_TRACK_COUNT;
    default:
      return IDC_THRESHOLD;
  }
}

// OK: true when the fields were taken into `options`; else the refusal has been shown and
// the field it names has the focus, its text selected.
bool TakeFields(HWND dialog, SilenceOptions& options) {
  SilenceOptionsText text;
  text.threshold = FieldText(dialog, IDC_THRESHOLD);
  text.minPause = FieldText(dialog, IDC_MIN_PAUSE);
  text.speech = IsDlgButtonChecked(dialog, IDC_PAUSE_SPEECH) == BST_CHECKED;
  text.tracks = FieldText(dialog, IDC_TRACK_COUNT);
  ParsedSilenceOptions parsed = ParseSilenceOptions(text);
  if (!parsed.ok()) {
    ShowPageMessage(dialog, parsed.refusal, MB_ICONWARNING);
    HWND field = GetDlgItem(dialog, ControlOf(parsed.badField));
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    SendMessageA(field, EM_SETSEL, 0, -1);
    return false;
  }
  options = parsed.options;
  return true;
}

INT_PTR CALLBACK SilenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      for (int id : {IDC_THRESHOLD, IDC_MIN_PAUSE, IDC_TRACK_COUNT}) {
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kFieldChars, 0);
      }
      SetNumber(dialog, IDC_THRESHOLD, kDefaultThresholdDb);
      SetNumber(dialog, IDC_MIN_PAUSE, kMusicMinPause / 100.0);
      CheckRadioButton(dialog, IDC_PAUSE_MUSIC, IDC_PAUSE_SPEECH, IDC_PAUSE_MUSIC);
      ShowApplicableChoices(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_PAUSE_MUSIC:
        case IDC_PAUSE_SPEECH:
          ShowApplicableChoices(dialog);
          break;
        case IDC_TRACK_COUNT:
          if (HIWORD(wParam) == EN_CHANGE) ShowApplicableChoices(dialog);
          break;
        case IDOK: {
          auto* options = reinterpret_cast<SilenceOptions*>(GetWindowLongPtrA(dialog, DWLP_USER));
          if (TakeFields(dialog, *options)) EndDialog(dialog, IDOK);
          break;
        }
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          break;
      }
      return TRUE;
  }
  return FALSE;
}

}  // namespace

bool AskSilenceOptions(HWND page, SilenceOptions& options) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FIND_SILENCES), page,
                         SilenceDialogProc, reinterpret_cast<LPARAM>(&options)) == IDOK;
}

}  // namespace partwell
