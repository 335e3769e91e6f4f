// A one-line label whose size does not depend on its text: a text longer than the label is
// shown cut, with an ellipsis, so that no text can widen or heighten the window around it.
#pragma once

#include <QString>
#include <QWidget>

namespace pelion {

class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The whole text, however it is shown.
    QString text() const { return text_; }
    void setText(const QString& text);
    // What the label shows of its text at its present width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

}  // namespace pelion
