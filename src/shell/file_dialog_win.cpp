#include "shell/file_dialog_win.h"

namespace partwell {

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

bool FileDialogPathTooLong() { return CommDlgExtendedError() == FNERR_BUFFERTOOSMALL; }

}  // namespace partwell
