#include "ui/protocol_window.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QTime>
#include <QVBoxLayout>

#include "ui/frame_buttons.h"
#include "ui/window_geometry.h"

namespace pelion {

namespace {
constexpr QSize cCLIENT_SIZE{454, 141};
}

TfrmProtocol::TfrmProtocol(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowMinMaxButtonsHint),
      Memo1(new QPlainTextEdit(this)) {
    setWindowTitle("Report");
    // Appearing at start must not take the focus from the main window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    resize(cCLIENT_SIZE);
    FormCreate(mainWindow);
}

void TfrmProtocol::FormCreate(QWidget* mainWindow) {
    dockBelow(mainWindow);
    Clear();
}

void TfrmProtocol::dockBelow(const QWidget* mainWindow) {
    const QRect main = outerRect(mainWindow);
    setOuterRect(this, QRect(main.left(), main.top() + main.height(), main.width(),
                             outerRect(this).height()));
}

// At creation the main window's frame was not known yet; it is when the report first shows.
void TfrmProtocol::showEvent(QShowEvent* event) {
    setFrameButtons(winId(), FrameButtons::minimiseAndMaximise);
    if (!shownOnce_) {
        shownOnce_ = true;
        dockBelow(parentWidget()->window());
    }
    QWidget::showEvent(event);
}

void TfrmProtocol::Add(const QString& sLine) {
    Memo1->appendPlainText(QTime::currentTime().toString("hh-mm-ss") + " -> " + sLine);
    QScrollBar* bar = Memo1->verticalScrollBar();
    bar->setValue(bar->maximum());
    Memo1->horizontalScrollBar()->setValue(0);
}

void TfrmProtocol::Clear() {
    Memo1->clear();
}

QStringList TfrmProtocol::lines() const {
    const QString text = Memo1->toPlainText();
    return text.isEmpty() ? QStringList{} : text.split('\n');
}

// The report belongs to the main window; only the end of the program closes it.
void TfrmProtocol::closeEvent(QCloseEvent* event) {
    event->ignore();
}

}  // namespace pelion
