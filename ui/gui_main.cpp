// pelion-update-gui: the updater window.
//
//   pelion-update-gui [--port PORT] [--quit-when-idle] [ELEMENT...]
//   pelion-update-gui --version
//
// ELEMENTs are the switches "cc:-", "cf:-", "cp:-", "f:+" (internal mode) and "mf:+"/"mf:-".
// --port puts PORT into the port field at start, for a port the system does not list as a
// logger port (a simulated logger's pseudo-terminal). --quit-when-idle ends the program at its
// first idle moment, which is how its start-up is measured. --version prints the version and the
// commit the program was built from, without opening a window.
#include <QApplication>
#include <QTimer>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "pelion_version.h"
#include "ui/gui_windows.h"
#include "update/pelion_comm_thread.h"

namespace {

constexpr const char* cUSAGE =
    "usage: pelion-update-gui [--port PORT] [--quit-when-idle] [ELEMENT...]\n"
    "  --port PORT       put PORT into the port field at start\n"
    "  --quit-when-idle  end at the first idle moment (to measure the start-up)\n"
    "  ELEMENT           cc:- cf:- cp:- f:+ (internal mode only), mf:+ or mf:-\n"
    "       pelion-update-gui --version\n";

struct CommandLine {
    std::vector<std::string> elements;  // the program path first, then the switches
    std::optional<std::string> port;
    bool quitWhenIdle = false;
};

bool hasOption(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) {
            return true;
        }
    }
    return false;
}

CommandLine readCommandLine(int argc, char** argv) {
    CommandLine line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            line.port = argv[++i];
        } else if (i > 0 && std::strcmp(argv[i], "--quit-when-idle") == 0) {
            line.quitWhenIdle = true;
        } else {
            line.elements.emplace_back(argv[i]);
        }
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (hasOption(argc, argv, "--help")) {
        std::cout << cUSAGE;
        return 0;
    }
    if (hasOption(argc, argv, "--version")) {
        std::cout << "pelion-update-gui " << PELION_VERSION_TEXT << '\n';
        return 0;
    }
    QApplication app(argc, argv);
    const CommandLine line = readCommandLine(argc, argv);
    pelion::WorkerClass = &pelion::makeWorker<pelion::TPelionCommThread>;

    pelion::GuiWindows windows(line.elements);
    // The program ends with its main window. Not through quit(), which first asks every window
    // to close: the report window refuses to, and would keep the program running.
    QObject::connect(&windows.frmMain, &pelion::TfrmMain::closed, &app,
                     [] { QCoreApplication::exit(0); });
    if (line.port) {
        windows.frmMain.setPortField(QString::fromLocal8Bit(line.port->c_str()));
    }
    windows.frmMain.show();
    if (line.quitWhenIdle) {
        // A zero timer fires once the event loop has nothing else to do.
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    }
    return app.exec();
}
