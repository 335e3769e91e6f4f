#include <io.h>
#include <windows.h>

#include <cstdio>

#include "cli/console.h"

namespace pelion::cli {

namespace {

std::atomic<bool>* interruptFlag = nullptr;

// Runs on a thread of its own that the console starts for the event.
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interruptFlag->store(true);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool stdinIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

bool stderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

void catchInterrupt(std::atomic<bool>& requested) {
    interruptFlag = &requested;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

}  // namespace pelion::cli
