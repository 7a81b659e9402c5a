#include "window/cue_buttons_win.h"

#include <optional>
#include <string>
#include <utility>

#include "window/file_dialog_win.h"
#include "window/message_box_win.h"
#include "split/chapter_tracks.h"
#include "split/cue_sheet.h"
#include "window/track_list_box_win.h"

namespace partwell {
namespace {

constexpr char kCueFilter[] = "CUE Sheets (*.cue)\0*.cue\0";
constexpr char kImportTitle[] = "Import Track Times From A .CUE File";
constexpr char kExportTitle[] = "Export Track Times To A .CUE File";
constexpr char kNoSourceText[] =
    "Please choose a source file first: its chapters become the track times.";
constexpr char kEmptyListText[] =
    "The track time list is empty: there is nothing to export.  Please add track times "
    "first.";

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

void ImportCueSheet(HWND page, const std::string& sourcePath) {
  char path[MAX_PATH] = "";
  if (!AskForSheet(page, false, path)) return;
  CueSheetResult sheet = ReadCueSheetFile(path, sourcePath);
  std::optional<std::string> refusal = sheet.refusal;
  // The times go into a list of their own first: the page's list is replaced only by a
  // complete one.
  TrackTimeList times;
  if (sheet.ok() && !ReplaceTrackTimes(sheet.entries, times)) {
    refusal = "the track time list refused one of the sheet's times";
  }
  if (refusal) {
    ShowSheetWarning(page, "The track times could not be imported from this .CUE file:", path,
                     *refusal);
    return;
  }
  ReplacePageTrackTimes(page, std::move(times), {sheet.discTitle, sheet.discPerformer});
}

void ImportChapters(HWND page, const std::string& sourcePath) {
  if (sourcePath.empty()) {
    ShowPageMessage(page, kNoSourceText, MB_ICONWARNING);
    return;
  }
  TrackTimeList times;
  std::string refusal = ReadChapterTracks(sourcePath, times);
  if (!refusal.empty()) {
    ShowSheetWarning(page, "The track times could not be taken from the chapters of this file:",
                     sourcePath.c_str(), refusal);
    return;
  }
  ReplacePageTrackTimes(page, std::move(times));
}

void ExportCueSheet(HWND page, const std::string& sourcePath) {
  if (PageTrackTimes(page).empty()) {
    ShowPageMessage(page, kEmptyListText, MB_ICONWARNING);
    return;
  }
  char path[MAX_PATH] = "";
  if (!AskForSheet(page, true, path)) return;
  if (std::optional<std::string> failure =
          WriteCueSheetFile(path, PageTrackTimes(page).Snapshot(), sourcePath)) {
    ShowSheetWarning(page, "The track times could not be exported to this .CUE file:", path,
                     *failure);
  }
}

}  // namespace partwell
