// X11 window managers draw the whole frame they report.
#include "ui/invisible_borders.h"

namespace pelion {

QMargins invisibleBorders(const QWidget*) {
    return {};
}

}  // namespace pelion
