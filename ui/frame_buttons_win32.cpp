// Windows: the title-bar buttons follow the window styles. Without WS_SYSMENU a caption has no
// button at all; with it, the close box is greyed out through the system menu.
#include <windows.h>

#include "ui/frame_buttons.h"

namespace pelion {

void setFrameButtons(quintptr window, FrameButtons buttons) {
    const auto hwnd = reinterpret_cast<HWND>(window);
    LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    switch (buttons) {
        case FrameButtons::none:
            style &= ~static_cast<LONG_PTR>(WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
                                            WS_THICKFRAME);
            style |= WS_CAPTION | WS_DLGFRAME;
            break;
        case FrameButtons::minimiseAndMaximise:
            style |= WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
            break;
    }
    SetWindowLongPtrW(hwnd, GWL_STYLE, style);
    if (buttons == FrameButtons::minimiseAndMaximise) {
        EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    }
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace pelion
