// What the command line needs from the platform's console: whether a stream is a terminal, and
// Ctrl-C (and every other way the user or the system ends a console program politely) turned
// into a cancel request instead of the end of the program.
#pragma once

#include <atomic>
#include <optional>

namespace pelion::cli {

bool stdinIsTerminal();
bool stderrIsTerminal();

struct TerminalSize {
    int columns;
    int rows;
};
// The size of the terminal standard error shows on; none when it is not a terminal.
std::optional<TerminalSize> stderrTerminalSize();
// Lets standard error move the cursor with ANSI sequences; false where the terminal cannot.
bool enableCursorControl();

// A reader that goes away (`pelion-update | head`) ends what the program writes to it, never
// the program: an update in progress goes on to its verdict. Called before any output.
void keepRunningWhenOutputCloses();

// The flag Ctrl-C sets once catchInterrupt() was called. It lives as long as the program, so a
// Ctrl-C that comes after the run that watched it has ended is harmless.
std::atomic<bool>& interruptFlag();

// From now on Ctrl-C only sets interruptFlag(), cleared here (the caller takes it), and so does
// a request to end the program: SIGTERM and SIGHUP (a service manager, a closed terminal or SSH
// session) on POSIX, the console window closed and the user logging off on Windows. The run
// then ends as cancelled, with the port closed and its settings put back. The handler does
// nothing else, so it is safe whenever the signal comes.
void catchInterrupt();

}  // namespace pelion::cli
