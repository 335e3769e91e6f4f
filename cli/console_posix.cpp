#include <signal.h>
#include <unistd.h>

#include "cli/console.h"

namespace pelion::cli {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores a flag");

std::atomic<bool>* interruptFlag = nullptr;

extern "C" void onInterrupt(int) {
    interruptFlag->store(true);
}

}  // namespace

bool stdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void catchInterrupt(std::atomic<bool>& requested) {
    interruptFlag = &requested;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace pelion::cli
