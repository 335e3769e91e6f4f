#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string_view>

#include "cli/console.h"

namespace pelion::cli {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores a flag");

std::atomic<bool> interruptRequested{false};

extern "C" void onInterrupt(int) {
    interruptRequested.store(true);
}

}  // namespace

bool stdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::optional<TerminalSize> stderrTerminalSize() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
        return std::nullopt;
    }
    return TerminalSize{size.ws_col, size.ws_row};
}

// Every terminal in use today understands the few ANSI sequences the progress rows use; a
// "dumb" one (an editor's shell buffer) does not.
bool enableCursorControl() {
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}

void keepRunningWhenOutputCloses() {
    signal(SIGPIPE, SIG_IGN);
}

std::atomic<bool>& interruptFlag() {
    return interruptRequested;
}

void catchInterrupt() {
    interruptRequested.store(false);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : std::array{SIGINT, SIGTERM, SIGHUP}) {
        sigaction(sig, &action, nullptr);
    }
}

}  // namespace pelion::cli
