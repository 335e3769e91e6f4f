// The report window: the running log of a run, one time-stamped line per event. It lives
// beside the main window and is docked below it; the user cannot close it.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace pelion {

class TfrmProtocol : public QWidget {
    Q_OBJECT
public:
    // Places itself directly below `mainWindow`, as wide as it.
    explicit TfrmProtocol(QWidget* mainWindow);

    // Appends "hh-nn-ss -> sLine" and keeps the newest line in view.
    void Add(const QString& sLine);
    void Clear();
    QStringList lines() const;

    QPlainTextEdit* const Memo1;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(QWidget* mainWindow);
    // Puts the window's outer top-left corner at the main window's outer bottom-left corner.
    void dockBelow(const QWidget* mainWindow);

    bool shownOnce_ = false;
};

}  // namespace pelion
