#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "app/history_file.h"
#include "app/internal_gate.h"
#include "app/notification_texts.h"
#include "app/options.h"
#include "firmware/file_reader.h"
#include "link/port_list.h"
#include "ui/info_window.h"
#include "ui/message_window.h"
#include "ui/protocol_window.h"
#include "ui/window_geometry.h"
#include "update/options.h"

namespace pelion {

namespace {

constexpr QSize cPANEL_SIZE{390, 116};
constexpr int cFILE_BUTTON_GAP = 8;
// How long the end of the program waits for a cancelled worker to close its port.
constexpr std::chrono::seconds cCLOSE_WAIT{5};
constexpr const char* cTXT_FILE_VERSION_REFUSED =
    "The file version can be read only while no update is running.\n"
    "Please wait until the update has ended.";
constexpr const char* cTXT_FILE_NOT_LOADED = "The firmware file cannot be used:\n";

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

TfrmMain::TfrmMain(const std::vector<std::string>& args)
    : Panel1(new QWidget(this)),
      Label1(new QLabel("Comport:", Panel1)),
      cbxPort(new QComboBox(Panel1)),
      ProgressBar1(new QProgressBar(Panel1)),
      btnProg(new QPushButton("Update", Panel1)),
      btnFile(new QPushButton("File", Panel1)),
      btnClose(new QPushButton("Close", Panel1)),
      btnCancel(new QPushButton("Cancel", Panel1)),
      chkReadInfoOnly(new QCheckBox("Read info only", Panel1)),
      StatusBar1(new QStatusBar(this)),
      StatusText(new ElidedLabel(StatusBar1)),
      menInfo(new QMenu(this)),
      menInfoFirmware(menInfo->addAction("Firmware")),
      menInfoFile(menInfo->addAction("File version")),
      menFileExit((menInfo->addSeparator(), menInfo->addAction("Exit"))),
      OpenDialog1(new QFileDialog(this)),
      target_(std::make_shared<UiNotificationTarget>(this)),
      runControl_(*this, target_),
      portWatch_(PortWatch::create(this)),
      taskbar_(TaskbarProgress::create(this)) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    const std::pair<QWidget*, QRect> placements[] = {
        {Label1, {12, 16, 64, 20}},
        {cbxPort, {80, 14, 298, 24}},
        {ProgressBar1, {12, 48, 366, 18}},
        {btnProg, {12, 78, 110, 28}},
        {chkReadInfoOnly, {140, 82, 120, 20}},
        {btnClose, {268, 78, 110, 28}},
        {btnCancel, {268, 78, 110, 28}},
    };
    for (const auto& [control, rect] : placements) {
        control->setGeometry(rect);
    }
    Panel1->setFixedSize(cPANEL_SIZE);
    cbxPort->setEditable(true);
    cbxPort->setInsertPolicy(QComboBox::NoInsert);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->addWidget(StatusText, 1);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);

    setCentralWidget(Panel1);
    setStatusBar(StatusBar1);
    menuBar()->addMenu(menInfo);

    connect(btnProg, &QPushButton::clicked, this, &TfrmMain::btnProgClick);
    connect(btnFile, &QPushButton::clicked, this, &TfrmMain::btnFileClick);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmMain::btnCancelClick);
    connect(menInfoFirmware, &QAction::triggered, this, &TfrmMain::menInfoFirmwareClick);
    connect(menInfoFile, &QAction::triggered, this, &TfrmMain::menInfoFileClick);
    connect(menFileExit, &QAction::triggered, this, &QWidget::close);
    connect(portWatch_.get(), &PortWatch::portsChanged, this, &TfrmMain::WMDeviceChange);

    FormCreate(args);
    QTimer::singleShot(0, this, &TfrmMain::ApplicationEvents1Idle);
}

TfrmMain::~TfrmMain() {
    target_->detach();
    if (waitCursor_) {
        QApplication::restoreOverrideCursor();
    }
}

void TfrmMain::FormCreate(const std::vector<std::string>& args) {
    setWindowTitle(cTXT_TITLE);
    menInfo->setTitle(QString("Info ") + cTXT_VERSION);
    // The program's own folder as the system knows it (/proc/self/exe, GetModuleFileNameW): the
    // first command-line element names no folder when the program was started through PATH.
    OpenDialog1->setDirectory(QCoreApplication::applicationDirPath());

    const bool internal = IsInternal();
    keepHistory();
    chkReadInfoOnly->setChecked(false);
    chkReadInfoOnly->setVisible(bReadInfoAvailable && internal);
    const std::span<const std::string> elements =
        args.empty() ? std::span<const std::string>{} : std::span(args).subspan(1);
    applyCommandLineOptions(elements, internal);

    layOutButtons();
    // The window is as large as its menu, panel and status bar, once and for all, and the user
    // cannot resize it. Settled now, so that the report window, created next, takes it.
    layout()->activate();
    setFixedSize(sizeHint());
    fillPortList();
    setStatus(bClearsMeasurements ? "F" : "");
    runControl_.ResetControls();
}

// At level 2 the Update and File buttons share the place of one button.
void TfrmMain::layOutButtons() {
    const bool fileCommands = nInternalLevel == 2;
    menInfoFile->setVisible(fileCommands);
    btnFile->setVisible(fileCommands);
    if (fileCommands) {
        const int half = btnClose->width() / 2;
        btnProg->resize(half, btnProg->height());
        btnFile->setGeometry(btnProg->x() + btnProg->width() + cFILE_BUTTON_GAP, btnProg->y(), half,
                             btnProg->height());
    } else {
        btnProg->resize(btnClose->width(), btnProg->height());
    }
}

void TfrmMain::fillPortList() {
    std::vector<std::string> ports;
    getComPortList(ports);
    cbxPort->clear();
    for (const std::string& port : ports) {
        cbxPort->addItem(text(port));
    }
    cbxPort->setCurrentIndex(ports.empty() ? -1 : 0);
}

void TfrmMain::setAuxiliaryWindows(TfrmInfo* info, TfrmProtocol* protocol, TfrmMessage* message) {
    frmInfo_ = info;
    frmProtocol_ = protocol;
    frmMessage_ = message;
}

void TfrmMain::setPortField(const QString& port) {
    cbxPort->setEditText(port);
}

// The same history as the command line's, unless the settings turn it off.
void TfrmMain::keepHistory() {
    if (!HistoryWanted()) {
        return;
    }
    const std::optional<std::string> path = defaultHistoryPath();
    runControl_.setHistory({path ? std::make_shared<const HistoryFile>(*path) : nullptr,
                            "pelion-update-gui",
                            [this](const std::string& question) { return askFromWorker(question); },
                            {}});
}

// The worker waits for the answer; the question is asked on the window's thread.
bool TfrmMain::askFromWorker(const std::string& question) {
    bool yes = false;
    QMetaObject::invokeMethod(
        this,
        [this, &question, &yes] {
            QMessageBox box(QMessageBox::Question, "Confirm", text(question), QMessageBox::NoButton,
                            this);
            QPushButton* yesButton = box.addButton("Yes", QMessageBox::YesRole);
            QPushButton* noButton = box.addButton("No", QMessageBox::NoRole);
            box.setDefaultButton(noButton);
            box.setEscapeButton(noButton);
            box.exec();
            yes = box.clickedButton() == yesButton;
        },
        Qt::BlockingQueuedConnection);
    return yes;
}

bool TfrmMain::confirm(const Question& question) {
    QMessageBox box(QMessageBox::Question, "Confirm",
                    QString(question.line1) + "\n" + question.line2, QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton("Yes", QMessageBox::YesRole);
    QPushButton* no = box.addButton("No", QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void TfrmMain::btnProgClick() {
    if (const Question* question = updateQuestion(); question && !confirm(*question)) {
        return;
    }
    runControl_.PrepareRun();
    runControl_.StartRun(tCMD0);
}

// Programs a firmware file of the user's choice. A file that does not load starts nothing:
// the user chose that file, not the embedded images.
void TfrmMain::btnFileClick() {
    const QString file = chooseFirmwareFile();
    if (file.isEmpty()) {
        return;
    }
    std::string reason;
    if (!runControl_.PrepareRun(file.toStdString(), &reason)) {
        showResult(cTXT_FILE_NOT_LOADED + reason);
        return;
    }
    runControl_.StartRun(tCMD0);
}

void TfrmMain::btnCancelClick() {
    cancelPressed_ = true;
    runControl_.cancel();
}

void TfrmMain::menInfoFirmwareClick() {
    if (frmInfo_) {
        const QRect outer = outerRect(this);
        frmInfo_->Execute(outer.left(), outer.top(), outer.height());
    }
}

// Shows a file's header in the overview. Refused during a run: the header and the chosen image
// belong to the running worker then.
void TfrmMain::menInfoFileClick() {
    if (runControl_.isRunning()) {
        showResult(cTXT_FILE_VERSION_REFUSED);
        return;
    }
    const QString file = chooseFirmwareFile();
    if (file.isEmpty() || !QFileInfo::exists(file)) {
        return;
    }
    TBl3FileHeader header = FirmwareFileHeader;
    try {
        readFirmwareFileHeader(file.toStdString(), header);
    } catch (const FirmwareFileError& error) {
        showResult(cTXT_FILE_NOT_LOADED + std::string(error.what()));
        return;
    }
    FirmwareFileHeader = header;
    ChosenImage.store(0);
    menInfoFirmwareClick();
}

QString TfrmMain::chooseFirmwareFile() {
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) {
        return {};
    }
    return OpenDialog1->selectedFiles().front();
}

void TfrmMain::ApplicationEvents1Idle() {
    if (frmProtocol_) {
        frmProtocol_->setVisible(nInternalLevel > 0);
    }
}

void TfrmMain::WMDeviceChange() {
    const QString typed = cbxPort->currentText();
    fillPortList();
    cbxPort->setCurrentIndex(-1);
    cbxPort->setEditText(typed);
    if (QGuiApplication::applicationState() == Qt::ApplicationActive && cbxPort->isEnabled()) {
        cbxPort->hidePopup();
        cbxPort->repaint();
        cbxPort->showPopup();
    }
}

bool TfrmMain::event(QEvent* event) {
    if (event->type() == NotificationEvent::type()) {
        const auto* notification = static_cast<NotificationEvent*>(event);
        runControl_.handleNotification(notification->code, notification->value);
        return true;
    }
    return QMainWindow::event(event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    FormCloseQuery(event);
}

// Closing during a run needs the user's Yes. The worker is then cancelled and given a moment
// to close its port; whatever it still reports is dropped.
void TfrmMain::FormCloseQuery(QCloseEvent* event) {
    if (runControl_.isRunning()) {
        if (!confirm(cQ_CLOSE_DURING_RUN)) {
            event->ignore();
            return;
        }
        closing_ = true;
        target_->detach();
        QCoreApplication::removePostedEvents(this, NotificationEvent::type());
        runControl_.cancel();
        TCommThread::waitForWorkers(cCLOSE_WAIT);
    }
    closing_ = true;
    event->accept();
    emit closed();
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    WMMove();
}

void TfrmMain::WMMove() {
    if (!frmProtocol_) {
        return;
    }
    const QRect outer = outerRect(this);
    const QPoint corner(outer.left(), outer.top() + outer.height());
    const QRect report = outerRect(frmProtocol_);
    if (report.topLeft() != corner) {
        setOuterRect(frmProtocol_, QRect(corner, report.size()));
    }
}

// The window first appears in the middle of its screen.
void TfrmMain::showEvent(QShowEvent* event) {
    if (!shownOnce_) {
        shownOnce_ = true;
        windowHandle()->installEventFilter(this);
        centreOnScreen();
    }
    QMainWindow::showEvent(event);
}

// The window system tells the size of the main window's frame by the time the window is first
// exposed: only then can the frame, not just the window inside it, be centred. The report
// window, shown at the first idle moment, may have been docked before.
bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (!exposedOnce_ && watched == windowHandle() && event->type() == QEvent::Expose &&
        windowHandle()->isExposed()) {
        exposedOnce_ = true;
        centreOnScreen();
        WMMove();
    }
    return QMainWindow::eventFilter(watched, event);
}

// The frame the user sees is centred; move() places the window's whole rectangle, invisible
// borders included.
void TfrmMain::centreOnScreen() {
    const QRect available = screen()->availableGeometry();
    const QRect outer = outerRect(this);
    const QPoint invisible = outer.topLeft() - frameGeometry().topLeft();
    move(available.left() + (available.width() - outer.width()) / 2 - invisible.x(),
         available.top() + (available.height() - outer.height()) / 2 - invisible.y());
}

void TfrmMain::addReport(const std::string& sLine) {
    if (frmProtocol_) {
        frmProtocol_->Add(text(sLine));
    }
}

void TfrmMain::clearReport() {
    if (frmProtocol_) {
        frmProtocol_->Clear();
    }
}

void TfrmMain::setStatus(const std::string& sText) {
    StatusText->setText(text(sText));
    StatusBar1->setToolTip(text(sText));
}

// The verdict lies over the lower part of the main window until the user presses OK.
void TfrmMain::showResult(const std::string& sMsg) {
    if (frmMessage_) {
        const QRect outer = outerRect(this);
        frmMessage_->showMsg(text(sMsg), outer.left(), outer.top(), outer.width(), outer.height());
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, cTXT_TITLE, text(sMsg), QMessageBox::Ok);
    box.exec();
}

void TfrmMain::setProgressBar(int percent) {
    ProgressBar1->setValue(std::clamp(percent, 0, 100));
    if (runControl_.isRunning()) {
        taskbar_->showProgress(ProgressBar1->value());
    }
}

int TfrmMain::progressBar() const {
    return ProgressBar1->value();
}

// The application title is the program's own title beside the window captions ("42%" during a
// run), which must stay as they are. On X11 it is the main window's icon name, which task bars
// and pagers show for a window; Qt offers no task-bar text of its own on Windows.
void TfrmMain::setApplicationTitle(const std::string& sTitle) {
    setWindowIconText(text(sTitle));
}

// The beep marks a run that ended in an abort; the task-bar button shows it to a user who looks
// at another program, until the verdict is closed.
void TfrmMain::beep() {
    QApplication::beep();
    if (!cancelPressed_ && !readInfoOnlyRun_) {
        taskbar_->showFailure();
    }
}

void TfrmMain::setRunningControls(bool running) {
    btnProg->setEnabled(!running);
    btnFile->setEnabled(!running);
    btnClose->setVisible(!running);
    btnCancel->setVisible(running);
    cbxPort->setEnabled(!running);
    if (running) {
        readInfoOnlyRun_ = chkReadInfoOnly->isChecked();
        taskbar_->showProgress(ProgressBar1->value());
    }
    if (running != waitCursor_) {
        waitCursor_ = running;
        if (running) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    }
}

// The task-bar button keeps a run's end, full or red, while its verdict is open.
void TfrmMain::runEnded(const RunOutcome&) {
    cancelPressed_ = false;
    taskbar_->clear();
}

bool TfrmMain::readInfoOnlyChecked() const {
    return chkReadInfoOnly->isChecked();
}

std::string TfrmMain::portFieldText() const {
    return cbxPort->currentText().toStdString();
}

// A repeat that falls due while the program is closing does not start.
void TfrmMain::callLater(std::chrono::milliseconds delay, std::function<void()> action) {
    QTimer::singleShot(delay, this, [this, action = std::move(action)] {
        if (!closing_) {
            action();
        }
    });
}

}  // namespace pelion
