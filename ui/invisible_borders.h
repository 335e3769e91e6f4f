// The part of a window's frame that the window system counts but does not draw. Windows 10 and
// 11 give windows resize borders of several pixels that are invisible: the window's rectangle
// (Qt's frame geometry) reaches beyond the frame the user sees, and windows placed edge to edge
// by those rectangles show a gap. Elsewhere the whole frame is seen.
#pragma once

#include <QMargins>
#include <QWidget>

namespace pelion {

// Zero for a window that has no native window yet, and where the system cannot tell.
QMargins invisibleBorders(const QWidget* window);

}  // namespace pelion
