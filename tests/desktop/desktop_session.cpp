#include "tests/desktop/desktop_session.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace pelion::test {

namespace {

constexpr auto cSTART_BOUND = std::chrono::seconds(60);
constexpr auto cPOLL = std::chrono::milliseconds(20);
constexpr int cSTART_ATTEMPTS = 5;
constexpr auto cRETRY_PAUSE = std::chrono::milliseconds(500);

pid_t spawn(const char* program, char* const argv[], const std::string& display, int keepFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (!display.empty()) {
            setenv("DISPLAY", display.c_str(), 1);
        }
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != keepFd) {
                close(fd);
            }
        }
        execvp(program, argv);
        _exit(127);
    }
    return pid;
}

// The display number Xvfb writes to the -displayfd pipe once it accepts connections.
std::string readDisplay(int fd) {
    std::string number;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') {
        number += c;
    }
    return number.empty() ? std::string() : ":" + number;
}

// A running window manager names itself through _NET_SUPPORTING_WM_CHECK on the root window.
bool windowManagerRuns(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    bool runs = false;
    if (!xcb_connection_has_error(connection)) {
        const char name[] = "_NET_SUPPORTING_WM_CHECK";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
        if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
            const xcb_window_t root =
                xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
            xcb_get_property_reply_t* reply = xcb_get_property_reply(
                connection,
                xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
            runs = reply != nullptr && xcb_get_property_value_length(reply) == 4;
            std::free(reply);
        }
        std::free(atom);
    }
    xcb_disconnect(connection);
    return runs;
}

void stop(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

bool stillRuns(pid_t pid) {
    return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0;
}

}  // namespace

// A display number can look free to Xvfb and still not serve our clients (a server of another
// user or container answering on the same name, or one that is just ending). A server that
// failed that way but still runs is kept until the session ends, so that the next try cannot
// pick its number again.
DesktopSession::DesktopSession() {
    std::string reason;
    for (int attempt = 0; attempt < cSTART_ATTEMPTS; ++attempt) {
        reason = tryStart();
        if (reason.empty()) {
            return;
        }
        stop(windowManager_);
        if (stillRuns(server_)) {
            heldServers_.push_back(server_);
        }
        windowManager_ = server_ = -1;
        std::this_thread::sleep_for(cRETRY_PAUSE * (attempt + 1));
    }
    stopHeldServers();
    throw std::runtime_error(reason);
}

void DesktopSession::stopHeldServers() {
    for (const pid_t server : heldServers_) {
        stop(server);
    }
    heldServers_.clear();
}

std::string DesktopSession::tryStart() {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return "no pipe for Xvfb's display number";
    }
    const std::string fd = std::to_string(pipeFds[1]);
    char* const serverArgs[] = {const_cast<char*>("Xvfb"), const_cast<char*>("-displayfd"),
                                const_cast<char*>(fd.c_str()), const_cast<char*>("-screen"),
                                const_cast<char*>("0"), const_cast<char*>("1024x768x24"),
                                const_cast<char*>("-nolisten"), const_cast<char*>("tcp"),
                                // Our probe's connection may be the last one to close before
                                // openbox connects; a server reset then would be in its way.
                                const_cast<char*>("-noreset"), nullptr};
    server_ = spawn("Xvfb", serverArgs, {}, pipeFds[1]);
    close(pipeFds[1]);
    display_ = readDisplay(pipeFds[0]);
    close(pipeFds[0]);
    if (display_.empty()) {
        return "Xvfb did not start (./run test installs the package xvfb)";
    }

    char* const managerArgs[] = {const_cast<char*>("openbox"), nullptr};
    windowManager_ = spawn("openbox", managerArgs, display_, -1);
    const auto deadline = std::chrono::steady_clock::now() + cSTART_BOUND;
    while (!windowManagerRuns(display_)) {
        if (std::chrono::steady_clock::now() > deadline ||
            waitpid(windowManager_, nullptr, WNOHANG) != 0) {
            return "openbox did not start on " + display_ + " (Xvfb " +
                   (stillRuns(server_) ? "runs" : "has ended") +
                   "; ./run test installs the package openbox)";
        }
        std::this_thread::sleep_for(cPOLL);
    }
    stopHeldServers();
    return {};
}

DesktopSession::~DesktopSession() {
    stop(windowManager_);
    stop(server_);
}

}  // namespace pelion::test
