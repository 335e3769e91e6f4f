// Windows side of the port list: the main window asks its WM_DEVICECHANGE messages whether the
// set of serial ports changed, and refreshes the list (getComPortList) only when they say so.
// The ComPortMonitor of port_list.h has nothing to watch here: fd() is -1 and its
// isComPortChange() is always false.
#pragma once

#include <cstdint>

namespace pelion {

// wParam and lParam of a WM_DEVICECHANGE message. True for the arrival or the removal of a
// serial port; lParam is read only for those two events.
bool isComPortChange(std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace pelion
