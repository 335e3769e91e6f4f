// Window placement by outer edges (frame included), as the windows of this program are placed
// relative to one another. Before a window is first shown its frame is unknown and the outer
// size equals the inner one.
#pragma once

#include <QWidget>

namespace pelion {

inline QRect outerRect(const QWidget* window) {
    return window->frameGeometry();
}

inline int frameExtraWidth(const QWidget* window) {
    return window->frameGeometry().width() - window->width();
}

inline int frameExtraHeight(const QWidget* window) {
    return window->frameGeometry().height() - window->height();
}

inline void setOuterWidth(QWidget* window, int width) {
    window->resize(width - frameExtraWidth(window), window->height());
}

inline void setOuterHeight(QWidget* window, int height) {
    window->resize(window->width(), height - frameExtraHeight(window));
}

}  // namespace pelion
