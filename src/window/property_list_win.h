// The property list's window glue: the main window and every page carry the program's
// list as their window user data.
#pragma once

#include <windows.h>

#include "job/property_list.h"

namespace partwell {

// Makes the list the window's user data.
void SetWindowPropertyList(HWND window, PropertyList* list);

// The list that a window carries as its user data.
PropertyList* WindowPropertyList(HWND window);

}  // namespace partwell
