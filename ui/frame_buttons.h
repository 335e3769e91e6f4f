// Which buttons the window system puts into a window's title bar. Toolkit window flags cannot
// say "a caption but no buttons at all", so each platform sets its own hints: Motif window
// manager hints on X11, window styles on Windows. Call before the window is first shown (its
// showEvent), when the native window exists and the window manager has not framed it yet.
#pragma once

#include <QtGlobal>

namespace pelion {

enum class FrameButtons {
    none,                 // caption and dialog border, no title-bar button, no close
    minimiseAndMaximise,  // minimise and maximise only; the frame offers no close
};

// `window` is the native window of a top-level widget (QWidget::winId()).
void setFrameButtons(quintptr window, FrameButtons buttons);

}  // namespace pelion
