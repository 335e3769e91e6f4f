// Window placement by the frames the user sees, as the windows of this program are placed
// relative to one another: edge to edge, without gaps. The frame is the one the window system
// reports less what it does not draw (invisible_borders.h). A window that has not been shown
// yet has no frame the window system has told us about; the frame of the window it belongs to
// stands in for it, as the window system draws the same frame around both.
#pragma once

#include <QMargins>
#include <QRect>
#include <QWidget>

#include "ui/invisible_borders.h"

namespace pelion {

inline QMargins ownFrameMargins(const QWidget* window) {
    const QRect inner = window->geometry();
    const QRect outer = window->frameGeometry();
    const QMargins frame{inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom()};
    return frame.isNull() ? frame : frame - invisibleBorders(window);
}

inline QMargins frameMargins(const QWidget* window) {
    const QMargins own = ownFrameMargins(window);
    const QWidget* owner = window->parentWidget();
    if (!own.isNull() || owner == nullptr) {
        return own;
    }
    return ownFrameMargins(owner->window());
}

// The window with the frame the user sees.
inline QRect outerRect(const QWidget* window) {
    return window->geometry().marginsAdded(frameMargins(window));
}

inline void setOuterRect(QWidget* window, const QRect& outer) {
    window->setGeometry(outer.marginsRemoved(frameMargins(window)));
}

}  // namespace pelion
