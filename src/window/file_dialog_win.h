// What the open and save dialogs of both pages share.
#pragma once

#include <windows.h>
#include <commdlg.h>

namespace partwell {

constexpr char kMp3Filter[] = "MP3 Files (*.mp3)\0*.mp3\0";

// The size of the OPENFILENAMEA record to hand the dialogs: the full record on systems of
// major version 5, the version-400 record on every other.
DWORD FileDialogRecordSize();

// An open or save dialog record for MP3 files, owned by `owner`, that returns its choice
// in `buffer`.
OPENFILENAMEA Mp3FileDialog(HWND owner, char* buffer, DWORD size, const char* title, DWORD flags);

// True when the dialog failed because the chosen path does not fit its buffer: the
// caller refuses the choice with kPathTooLongText rather than cut it.
bool FileDialogPathTooLong();

extern const char kPathTooLongText[];

}  // namespace partwell
