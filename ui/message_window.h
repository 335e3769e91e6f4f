// The message window: the closing message of a run, shown modally over the lower part of the
// main window. Only its "OK" button closes it.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

namespace pelion {

class TfrmMessage : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMessage(QWidget* mainWindow);

    // Shows sMsg modally and returns when the user has pressed OK. x, y, w, h are the outer left,
    // top, width and height of the main window: the message lies 10 px in from its sides and
    // 10 px above its bottom.
    void showMsg(const QString& sMsg, int x, int y, int w, int h);

    QPlainTextEdit* const Memo1;
    QWidget* const Panel1;
    QPushButton* const Button1;

public slots:
    // Escape and the window system's close request end up here; neither closes the message.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void Button1Click();
};

}  // namespace pelion
