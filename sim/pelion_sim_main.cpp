// pelion-sim: a simulated Pelion logger for trying the updater without hardware.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "sim/sim_options.h"

namespace {

using pelion::sim::SimSettings;
using pelion::sim::SimulatedLogger;

int signalPipe[2] = {-1, -1};

void onSignal(int signo) {
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const auto rc = write(signalPipe[1], &byte, 1);
}

bool installSignals() {
    if (pipe(signalPipe) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    signal(SIGPIPE, SIG_IGN);
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0 &&
           sigaction(SIGUSR1, &action, nullptr) == 0;
}

// The record lines of a firmware file; its key=value header lines are skipped.
bool readImage(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.find('=') == std::string::npos) {
            lines.push_back(line);
        }
    }
    return in.eof() && !lines.empty();
}

// Serves until SIGINT, SIGTERM or, when asked, the end of standard input.
void serve(SimulatedLogger& logger, bool stdinStop) {
    pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        if (poll(fds, stdinStop ? 2 : 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            char buffer[256];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
                return;
            }
        }
        unsigned char signo = 0;
        if ((fds[0].revents & POLLIN) && read(signalPipe[0], &signo, 1) == 1) {
            if (signo != SIGUSR1) {
                return;
            }
            logger.restart();
            std::cerr << "pelion-sim: power restored" << std::endl;
        }
    }
}

std::string yesNo(bool b) {
    return b ? "yes" : "no";
}

}  // namespace

int main(int argc, char** argv) {
    SimSettings settings;
    std::string error;
    if (!pelion::sim::parseOptions(argc, argv, settings, error)) {
        std::cerr << "pelion-sim: " << error << "\nTry pelion-sim --help.\n";
        return 2;
    }
    if (settings.help) {
        std::cout << pelion::sim::usageText();
        return 0;
    }
    std::vector<std::string> image;
    if (!settings.expectImage.empty() && !readImage(settings.expectImage, image)) {
        std::cerr << "pelion-sim: cannot read the firmware file " << settings.expectImage
                  << "; give a readable file of record lines to --expect-image.\n";
        return 2;
    }
    if (!installSignals()) {
        std::cerr << "pelion-sim: cannot install the signal handlers\n";
        return 1;
    }
    try {
        SimulatedLogger logger(settings.config);
        pelion::sim::applyFaults(settings, logger);
        std::cout << logger.portPath() << std::endl;
        serve(logger, settings.stdinStop);
        if (image.empty()) {
            return 0;
        }
        const bool equal = logger.flashEquals(image);
        const auto order = logger.writeOrder();
        const bool vectorTableLast = !order.empty() && order.back() == 0x03DF;
        std::cout << "flash equals "
                  << std::filesystem::path(settings.expectImage).filename().string() << ": "
                  << yesNo(equal) << ", " << order.size() << " records written, vector table "
                  << "written last: " << yesNo(vectorTableLast) << std::endl;
        return equal ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "pelion-sim: " << e.what() << '\n';
        return 1;
    }
}
