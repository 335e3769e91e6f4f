#include "ui/message_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/frame_buttons.h"
#include "ui/window_geometry.h"

namespace pelion {

namespace {
constexpr QSize cCLIENT_SIZE{435, 101};
constexpr int cBUTTON_BAR_HEIGHT = 45;
constexpr int cBUTTON_WIDTH = 93;
constexpr int cINSET = 10;
}  // namespace

TfrmMessage::TfrmMessage(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Memo1(new QPlainTextEdit(this)),
      Panel1(new QWidget(this)),
      Button1(new QPushButton("OK", Panel1)) {
    setWindowTitle("Information");
    setFont(QFont("Tahoma"));
    setModal(true);
    Memo1->setReadOnly(true);
    // The text box takes what the designed client height leaves above the button bar; its own
    // minimum would make the window taller once shown, after it was placed.
    Memo1->setMinimumHeight(cCLIENT_SIZE.height() - cBUTTON_BAR_HEIGHT);

    Panel1->setFixedHeight(cBUTTON_BAR_HEIGHT);
    // The button fills the bar's height at its left edge.
    Button1->setFixedSize(cBUTTON_WIDTH, cBUTTON_BAR_HEIGHT);
    Button1->setDefault(true);
    auto* bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(Button1);
    bar->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Memo1);
    layout->addWidget(Panel1);
    resize(cCLIENT_SIZE);

    connect(Button1, &QPushButton::clicked, this, &TfrmMessage::Button1Click);
}

void TfrmMessage::showMsg(const QString& sMsg, int x, int y, int w, int h) {
    const int outerHeight = outerRect(this).height();
    setOuterRect(this,
                 QRect(x + cINSET, y + h - outerHeight - cINSET, w - 2 * cINSET, outerHeight));
    Memo1->clear();
    Memo1->appendPlainText(sMsg);
    Button1->setFocus();
    exec();
}

void TfrmMessage::reject() {}

void TfrmMessage::showEvent(QShowEvent* event) {
    setFrameButtons(winId(), FrameButtons::none);
    QDialog::showEvent(event);
}

void TfrmMessage::Button1Click() {
    accept();
}

}  // namespace pelion
