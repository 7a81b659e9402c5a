#include "split/cue_buttons_win.h"

#include <string>
#include <utility>

#include "resource_ids.h"
#include "shell/file_dialog_win.h"
#include "shell/job_control_win.h"
#include "split/cue_sheet.h"
#include "split/split_page_win.h"

namespace partwell {
namespace {

constexpr char kCueFilter[] = "CUE Sheets (*.cue)\0*.cue\0";
constexpr char kImportTitle[] = "Import Track Times From A .CUE File";
constexpr char kExportTitle[] = "Export Track Times To A .CUE File";
constexpr char kEmptyListText[] =
    "The track time list is empty: there is nothing to export.  Please add track times "
    "first.";

// The chosen source's path, as the page shows it; empty when none is chosen.
std::string SourcePath(HWND page) {
  HWND source = GetDlgItem(page, IDC_SOURCE);
  std::string path(static_cast<size_t>(GetWindowTextLengthA(source)) + 1, '\0');
  int length = GetWindowTextA(source, &path[0], static_cast<int>(path.size()));
  path.resize(static_cast<size_t>(length));
  return path;
}

// Shows the open dialog (import) or the save dialog (export) for a sheet and returns true
// with the chosen path in `path`. A cancelled dialog returns false silently; a path too
// long for the buffer is refused with a warning.
bool AskForSheet(HWND page, bool save, char (&path)[MAX_PATH]) {
  DWORD flags = save ? OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT
                     : OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  OPENFILENAMEA dialog =
      Mp3FileDialog(page, path, sizeof path, save ? kExportTitle : kImportTitle, flags);
  dialog.lpstrFilter = kCueFilter;  // the same record as for MP3 files, but for sheets
  if (save) dialog.lpstrDefExt = "cue";
  bool chosen = (save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog)) != FALSE;
  if (!chosen && FileDialogPathTooLong()) ShowPageMessage(page, kPathTooLongText, MB_ICONWARNING);
  return chosen;
}

// The reasons come as the command-line program prints them, after a colon: here they
// stand as a sentence of their own.
void ShowSheetWarning(HWND page, const char* what, const char* path, std::string reason) {
  if (!reason.empty() && reason[0] >= 'a' && reason[0] <= 'z') reason[0] += 'A' - 'a';
  if (reason.empty() || reason.back() != '.') reason += '.';  // system texts have one
  std::string text = std::string(what) + "\n\n" + path + "\n\n" + reason;
  ShowPageMessage(page, text.c_str(), MB_ICONWARNING);
}

}  // namespace

void ImportCueSheet(HWND page) {
  char path[MAX_PATH] = "";
  if (!AskForSheet(page, false, path)) return;
  CueSheetResult sheet = ReadCueSheetFile(path, SourcePath(page));
  std::string refusal = sheet.refusal;
  // The times go into a list of their own first: the page's list is replaced only by a
  // complete one.
  TrackTimeList times;
  if (sheet.ok() && !ReplaceTrackTimes(sheet.entries, times)) {
    refusal = "the track time list refused one of the sheet's times";
  }
  if (!refusal.empty()) {
    ShowSheetWarning(page, "The track times could not be imported from this .CUE file:", path,
                     refusal);
    return;
  }
  ReplacePageTrackTimes(page, std::move(times));
}

void ExportCueSheet(HWND page) {
  if (PageTrackTimes(page).empty()) {
    ShowPageMessage(page, kEmptyListText, MB_ICONWARNING);
    return;
  }
  char path[MAX_PATH] = "";
  if (!AskForSheet(page, true, path)) return;
  std::string failure =
      WriteCueSheetFile(path, PageTrackTimes(page).Snapshot(), SourcePath(page));
  if (!failure.empty()) {
    ShowSheetWarning(page, "The track times could not be exported to this .CUE file:", path,
                     failure);
  }
}

}  // namespace partwell
