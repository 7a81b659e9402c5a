#include "window/file_dialog_win.h"

#include "io/file.h"

namespace partwell {

static_assert(kMaxPathChars == 259, "kPathTooLongText names the longest path");
const char kPathTooLongText[] =
    "The path you chose is longer than 259 characters.  Please choose a shorter one.";

DWORD FileDialogRecordSize() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&version);
#pragma GCC diagnostic pop
  return version.dwMajorVersion == 5 ? sizeof(OPENFILENAMEA) : OPENFILENAME_SIZE_VERSION_400A;
}

OPENFILENAMEA Mp3FileDialog(HWND owner, char* buffer, DWORD size, const char* title, DWORD flags) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = FileDialogRecordSize();
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kMp3Filter;
  dialog.lpstrFile = buffer;
  dialog.nMaxFile = size;
  dialog.lpstrTitle = title;
  dialog.Flags = flags;
  return dialog;
}

bool FileDialogPathTooLong() { return CommDlgExtendedError() == FNERR_BUFFERTOOSMALL; }

}  // namespace partwell
