// main()'s narrow arguments are in the ANSI code page, which cannot hold every file name (a
// folder "Jürgen" under code page 1252 comes as bytes that are no UTF-8): the arguments are
// taken from the wide command line instead. The console shows bytes in its own output code
// page, which is set to UTF-8 while the program runs and given back at its end, since the
// console outlives the program.
#include <windows.h>
// after windows.h, whose types it uses
#include <shellapi.h>

#include <cstdlib>

#include "cli/startup.h"
#include "link/utf16_win32.h"

namespace pelion::cli {

namespace {

UINT consoleCodePageBefore = 0;

void restoreConsoleCodePage() {
    SetConsoleOutputCP(consoleCodePageBefore);
}

}  // namespace

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + 1, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(pelion::toUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

// Without a console (output redirected by a program that has none) there is nothing to set.
void useUtf8Console() {
    const UINT before = GetConsoleOutputCP();
    if (before == 0 || before == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) {
        return;
    }
    consoleCodePageBefore = before;
    std::atexit(restoreConsoleCodePage);
}

}  // namespace pelion::cli
