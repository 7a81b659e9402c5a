#include "window/property_list_win.h"

namespace partwell {

void SetWindowPropertyList(HWND window, PropertyList* list) {
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(list));
}

PropertyList* WindowPropertyList(HWND window) {
  return reinterpret_cast<PropertyList*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace partwell
