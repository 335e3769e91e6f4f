// The main window: pick the port, start an update, cancel, close. It shows what the shared run
// control tells it, asks the user's confirmations and forwards the worker's notifications; the
// run logic itself lives in RunControl.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <memory>
#include <string>
#include <vector>

#include "app/run_control.h"
#include "ui/elided_label.h"
#include "ui/port_watch.h"
#include "ui/taskbar_progress.h"
#include "ui/ui_notification_target.h"

namespace pelion {

class TfrmInfo;
class TfrmProtocol;
class TfrmMessage;
struct Question;

class TfrmMain : public QMainWindow, public RunView {
    Q_OBJECT
public:
    // `args` is the whole command line, the program's own path first.
    explicit TfrmMain(const std::vector<std::string>& args);
    ~TfrmMain() override;

    // The auxiliary windows, created after the main window. Until then a verdict shows in a
    // plain message box.
    void setAuxiliaryWindows(TfrmInfo* info, TfrmProtocol* protocol, TfrmMessage* message);

    // Puts a port name into the port field (a port the system does not list, such as a
    // pseudo-terminal).
    void setPortField(const QString& port);

    const RunControl& runControl() const { return runControl_; }

    // RunView
    void addReport(const std::string& sLine) override;
    void clearReport() override;
    void setStatus(const std::string& sText) override;
    void showResult(const std::string& sMsg) override;
    void setProgressBar(int percent) override;
    int progressBar() const override;
    void setApplicationTitle(const std::string& sTitle) override;
    void beep() override;
    void setRunningControls(bool running) override;
    bool readInfoOnlyChecked() const override;
    std::string portFieldText() const override;
    void callLater(std::chrono::milliseconds delay, std::function<void()> action) override;
    void runEnded(const RunOutcome& outcome) override;

    QWidget* const Panel1;
    QLabel* const Label1;
    QComboBox* const cbxPort;
    QProgressBar* const ProgressBar1;
    QPushButton* const btnProg;
    QPushButton* const btnFile;
    QPushButton* const btnClose;
    QPushButton* const btnCancel;
    QCheckBox* const chkReadInfoOnly;
    QStatusBar* const StatusBar1;
    ElidedLabel* const StatusText;
    QMenu* const menInfo;
    QAction* const menInfoFirmware;
    QAction* const menInfoFile;
    QAction* const menFileExit;
    QFileDialog* const OpenDialog1;

signals:
    // The window has closed at the user's request; the program is to end.
    void closed();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void btnProgClick();
    void btnFileClick();
    void btnCancelClick();
    void menInfoFirmwareClick();
    void menInfoFileClick();
    void ApplicationEvents1Idle();
    void WMDeviceChange();

private:
    void FormCreate(const std::vector<std::string>& args);
    void layOutButtons();
    void fillPortList();
    bool confirm(const Question& question);
    void keepHistory();
    // Asks the user about a logger an interrupted update left in its bootloader; called on the
    // worker's thread, it returns with the user's answer.
    bool askFromWorker(const std::string& question);
    // The firmware file the user picks, or empty when the dialog was cancelled.
    QString chooseFirmwareFile();
    void FormCloseQuery(QCloseEvent* event);
    // Keeps the report window docked at the outer bottom-left corner of the main window.
    void WMMove();
    // Puts the window's frame, as far as it is known, in the middle of the screen.
    void centreOnScreen();

    std::shared_ptr<UiNotificationTarget> target_;
    RunControl runControl_;
    std::unique_ptr<PortWatch> portWatch_;
    std::unique_ptr<TaskbarProgress> taskbar_;
    // A run the user stopped, or one meant to stop after reading, ends in an abort without
    // having failed.
    bool cancelPressed_ = false;
    bool readInfoOnlyRun_ = false;
    QPointer<TfrmInfo> frmInfo_;
    QPointer<TfrmProtocol> frmProtocol_;
    QPointer<TfrmMessage> frmMessage_;
    bool waitCursor_ = false;
    bool shownOnce_ = false;
    bool exposedOnce_ = false;
    bool closing_ = false;
};

}  // namespace pelion
