// The Split page's buttons that fill the track time list from elsewhere or save it: CUE
// sheets in and out, and the source's own chapters.
#pragma once

#include <windows.h>

#include <string>

namespace partwell {

// "Import Track Times From .CUE File": asks for a sheet and, when it reads, replaces the
// track time list by its times, artists and titles (of the tracks of the file named like
// `sourcePath`, when the sheet names several), with its disc title and performer for the
// tracks' tags. A sheet that cannot be used is named in a warning, with the reason, and the
// list stays as it was.
void ImportCueSheet(HWND page, const std::string& sourcePath);

// "Export Track Times To .CUE File": asks where to save and writes the list there, with
// the source's file name when a source is chosen (`sourcePath` is empty when none is). An
// empty list is refused with a warning before any dialog; a failed write gives a warning
// with the reason.
void ExportCueSheet(HWND page, const std::string& sourcePath);

// "Use Chapters": replaces the track time list by the chapters of the chosen source's ID3v2
// tag, each chapter's title as its track's title. Without a source, or when the source has
// no chapters that the list takes, a warning says why and the list stays as it was.
void ImportChapters(HWND page, const std::string& sourcePath);

}  // namespace partwell
