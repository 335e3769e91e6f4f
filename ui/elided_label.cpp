#include "ui/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace pelion {

namespace {
constexpr int cTEXT_MARGIN = 2;
}

ElidedLabel::ElidedLabel(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    update();
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text_, Qt::ElideRight, width() - 2 * cTEXT_MARGIN);
}

QSize ElidedLabel::sizeHint() const {
    return {0, fontMetrics().height() + 2 * cTEXT_MARGIN};
}

QSize ElidedLabel::minimumSizeHint() const {
    return sizeHint();
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(cTEXT_MARGIN, 0, -cTEXT_MARGIN, 0),
                     Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

}  // namespace pelion
