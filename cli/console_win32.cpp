#include <io.h>
#include <windows.h>

#include <cstdio>

#include "cli/console.h"

namespace pelion::cli {

namespace {

std::atomic<bool> interruptRequested{false};

// Runs on a thread of its own that the console starts for the event. The process ends as soon
// as the handler returns from a closed console window, a log-off or a shutdown, so for these
// the handler holds on while the main thread cancels the run, closes the port and ends the
// program; the system ends it after its own time-out at the latest.
BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            interruptRequested.store(true);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            interruptRequested.store(true);
            Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool stdinIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

bool stderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

std::optional<TerminalSize> stderrTerminalSize() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        return std::nullopt;
    }
    return TerminalSize{info.srWindow.Right - info.srWindow.Left + 1,
                        info.srWindow.Bottom - info.srWindow.Top + 1};
}

// Consoles since Windows 10 follow ANSI sequences once asked to; older ones refuse.
bool enableCursorControl() {
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode) &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

// A write to a pipe whose reader has gone fails with an error there and ends nothing.
void keepRunningWhenOutputCloses() {}

std::atomic<bool>& interruptFlag() {
    return interruptRequested;
}

void catchInterrupt() {
    interruptRequested.store(false);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

}  // namespace pelion::cli
