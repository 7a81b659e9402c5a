// The Split page's "Find Silences..." button: the silence search run under the page's job
// control, its proposed times put in the track time list.
#pragma once

#include <windows.h>

#include <string>

namespace partwell {

// "Find Silences..." with the page's chosen source. On an idle page that is not starting,
// asks for the options (see AskSilenceOptions) and starts the search on a worker, which
// takes the page ("Cancel", "Status: Listening... [nn%]"); a click on the action button then
// halts it. When pauses are found, their proposed times replace the track time list, which
// loses its artists and titles. No pause found, a halt or a failure leave the list as it
// was, with an information box, nothing, or a warning.
void FindSilences(HWND page, const std::string& sourcePath);

}  // namespace partwell
