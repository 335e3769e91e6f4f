// Windows: the desktop window manager tells the frame it draws (DWMWA_EXTENDED_FRAME_BOUNDS);
// the window's rectangle may reach beyond it. Both are in physical pixels, Qt's geometry in
// device-independent ones.
#include <windows.h>
// after windows.h, whose types it uses
#include <dwmapi.h>

#include <algorithm>
#include <cmath>

#include "ui/invisible_borders.h"

namespace pelion {

namespace {

int logical(LONG pixels, qreal ratio) {
    return std::max(0, static_cast<int>(std::lround(pixels / ratio)));
}

}  // namespace

QMargins invisibleBorders(const QWidget* window) {
    const WId id = window->internalWinId();
    if (id == 0) {
        return {};
    }
    const HWND hwnd = reinterpret_cast<HWND>(id);
    RECT outer{};
    RECT drawn{};
    if (!GetWindowRect(hwnd, &outer) ||
        FAILED(DwmGetWindowAttribute(hwnd, DWMWA_EXTENDED_FRAME_BOUNDS, &drawn, sizeof drawn))) {
        return {};
    }
    const qreal ratio = window->devicePixelRatioF();
    return {logical(drawn.left - outer.left, ratio), logical(drawn.top - outer.top, ratio),
            logical(outer.right - drawn.right, ratio), logical(outer.bottom - drawn.bottom, ratio)};
}

}  // namespace pelion
