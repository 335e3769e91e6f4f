// pelion-gui-screenshots: pictures of the updater's windows for people to look at.
//
//   pelion-gui-screenshots main FILE [ELEMENT...]             the main window (and report)
//   pelion-gui-screenshots overview FILE [ELEMENT...]         the firmware overview
//   pelion-gui-screenshots running FILE PORT [ELEMENT...]     an update on PORT, at 40 %
//   pelion-gui-screenshots verdict FILE PORT [ELEMENT...]     a whole update on PORT, up to
//                                                             its verdict
//
// It grabs the whole screen, window frames included, so it wants a real display with a window
// manager (tools/screenshots.sh runs it under Xvfb with openbox).
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "ui/gui_windows.h"
#include "update/pelion_comm_thread.h"

namespace {

using pelion::GuiWindows;

constexpr int cSETTLE_MS = 300;
constexpr int cPOLL_MS = 50;
constexpr int cRUNNING_PERCENT = 40;

// Paints every visible window now, so that the picture shows their present state.
bool saveScreen(const QString& file) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            window->repaint();
        }
    }
    return QGuiApplication::primaryScreen()->grabWindow(0).save(file);
}

// Takes the picture once the windows have settled, then closes `modal` and ends the program.
void shootModal(const QString& file, QWidget* modal, int& status) {
    QTimer::singleShot(cSETTLE_MS, modal, [file, modal, &status] {
        status = saveScreen(file) ? 0 : 1;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->done(QDialog::Accepted);
        }
        QCoreApplication::exit(status);
    });
}

// Watches the modal windows: answers questions with their default button and pictures the
// first modal window that `wanted` accepts.
void shootFirstModal(const QString& file, GuiWindows& windows, int& status,
                     std::function<bool(QWidget*)> wanted) {
    auto* timer = new QTimer(&windows.frmMain);
    QObject::connect(timer, &QTimer::timeout, [timer, file, &status, wanted] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        if (wanted(modal)) {
            timer->stop();
            shootModal(file, modal, status);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->defaultButton()->click();
        }
    });
    timer->start(cPOLL_MS);
}

bool exposed(QWidget& window) {
    return window.windowHandle() != nullptr && window.windowHandle()->isExposed();
}

// Waits until the main window, and in internal mode the report window below it, are on the
// screen, then lets the window manager settle their frames.
void shootMain(const QString& file, GuiWindows& windows, int& status) {
    auto* timer = new QTimer(&windows.frmMain);
    QObject::connect(timer, &QTimer::timeout, [timer, file, &windows, &status] {
        if (!exposed(windows.frmMain) ||
            (pelion::nInternalLevel > 0 && !exposed(windows.frmProtocol))) {
            return;
        }
        timer->stop();
        QTimer::singleShot(cSETTLE_MS, [file, &status] {
            status = saveScreen(file) ? 0 : 1;
            QCoreApplication::exit(status);
        });
    });
    timer->start(cPOLL_MS);
}

void shootOverview(const QString& file, GuiWindows& windows, int& status) {
    QWidget* overview = &windows.frmInfo;
    shootFirstModal(file, windows, status,
                    [overview](QWidget* modal) { return modal == overview; });
    QTimer::singleShot(cSETTLE_MS, [&windows] { windows.frmMain.menInfoFirmware->trigger(); });
}

// Presses Update, says Yes to its question and pictures the verdict.
void shootVerdict(const QString& file, GuiWindows& windows, int& status) {
    QWidget* verdict = &windows.frmMessage;
    shootFirstModal(file, windows, status, [verdict](QWidget* modal) { return modal == verdict; });
    QTimer::singleShot(cSETTLE_MS, [&windows] { windows.frmMain.btnProg->click(); });
}

// Presses Update and pictures the windows once the progress has reached 40 %.
void shootRunning(const QString& file, GuiWindows& windows, int& status) {
    auto* timer = new QTimer(&windows.frmMain);
    QObject::connect(timer, &QTimer::timeout, [timer, file, &windows, &status] {
        if (windows.frmMain.ProgressBar1->value() >= cRUNNING_PERCENT) {
            timer->stop();
            status = saveScreen(file) ? 0 : 1;
            QCoreApplication::exit(status);
        } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->defaultButton()->click();
        }
    });
    timer->start(cPOLL_MS / 5);
    QTimer::singleShot(cSETTLE_MS, [&windows] { windows.frmMain.btnProg->click(); });
}

struct Mode {
    const char* name;
    bool needsPort;
    void (*shoot)(const QString&, GuiWindows&, int&);
};

constexpr Mode cMODES[] = {
    {"main", false, shootMain},
    {"overview", false, shootOverview},
    {"running", true, shootRunning},
    {"verdict", true, shootVerdict},
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const Mode* mode = nullptr;
    for (const Mode& m : cMODES) {
        if (argc > 2 && std::strcmp(argv[1], m.name) == 0) {
            mode = &m;
        }
    }
    if (mode == nullptr || (mode->needsPort && argc < 4)) {
        std::cerr << "usage: pelion-gui-screenshots main|overview FILE [ELEMENT...]\n"
                     "       pelion-gui-screenshots running|verdict FILE PORT [ELEMENT...]\n";
        return 2;
    }
    pelion::WorkerClass = &pelion::makeWorker<pelion::TPelionCommThread>;
    const int first = mode->needsPort ? 4 : 3;
    std::vector<std::string> elements{argv[0]};
    elements.insert(elements.end(), argv + first, argv + argc);

    GuiWindows windows(elements);
    if (mode->needsPort) {
        windows.frmMain.setPortField(QString::fromLocal8Bit(argv[3]));
    }
    windows.frmMain.show();
    int status = 1;
    mode->shoot(QString::fromLocal8Bit(argv[2]), windows, status);
    app.exec();
    return status;
}
