// pelion-update-gui.exe, the Windows window program, under Wine on an Xvfb screen with openbox,
// driven by mouse and keys as a user drives it. Frames are judged from the windows' Win32
// styles (openbox draws the same three title-bar boxes on every window); texts are copied out
// of the windows through the clipboard.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <set>

#include "tests/wine/pe_imports.h"
#include "tests/wine/windows_desktop.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::NativeWindow;

constexpr const char* cGATE_KEY = "HKCU\\Software\\Tessaly\\Orvo";
constexpr const char* cMAIN_CAPTION = "Pelion Firmware Update";
constexpr auto cWINDOW_WAIT = 60s;

// Window styles, as the Windows headers define them.
constexpr unsigned long WS_CAPTION = 0x00C00000;
constexpr unsigned long WS_SYSMENU = 0x00080000;
constexpr unsigned long WS_THICKFRAME = 0x00040000;
constexpr unsigned long WS_MINIMIZEBOX = 0x00020000;
constexpr unsigned long WS_MAXIMIZEBOX = 0x00010000;

// Where the main window's controls lie in its client area: the menu bar (about 22 pixels under
// Wine's fonts) above the control panel. Each point aims at the middle of its control, so a menu
// bar up to 14 pixels higher or lower still hits it.
constexpr int cMENU_BAR_HEIGHT = 22;
struct Point {
    int x, y;
};
constexpr Point cCLOSE_BUTTON{323, cMENU_BAR_HEIGHT + 92};

fs::path windowsBuild() {
    return fs::path(PELION_WIN32_GUI_PROGRAM).parent_path();
}

// Without a Qt for Windows ./run builds no window program; these tests then have nothing to run.
bool windowProgramBuilt() {
    return fs::exists(PELION_WIN32_GUI_PROGRAM);
}

#define SKIP_WITHOUT_WINDOW_PROGRAM()                                                      \
    if (!windowProgramBuilt()) {                                                           \
        GTEST_SKIP() << "no " << PELION_WIN32_GUI_PROGRAM << " (no Qt for Windows found)"; \
    }

// Everything the program loads comes with it or with Windows: the DLLs of the program and of
// whatever it loads, the Qt plugins included.
TEST(WindowProgramFiles, ImportOnlyDllsBesideThemOrOfWindows) {
    SKIP_WITHOUT_WINDOW_PROGRAM();
    std::vector<fs::path> files = {PELION_WIN32_GUI_PROGRAM};
    std::set<std::string> beside;  // Windows finds a DLL by its name in any case
    for (const auto& entry : fs::recursive_directory_iterator(windowsBuild())) {
        if (entry.path().extension() == ".dll") {
            files.push_back(entry.path());
            if (entry.path().parent_path() == windowsBuild()) {
                beside.insert(test::lowerCase(entry.path().filename()));
            }
        }
    }
    for (const fs::path& file : files) {
        const auto imported = test::importedDlls(file);
        EXPECT_FALSE(imported.empty()) << "no import table read from " << file;
        for (const std::string& dll : imported) {
            EXPECT_TRUE(test::comesWithWindows(dll) || beside.contains(dll))
                << file.filename() << " imports " << dll
                << ", which is neither beside it nor part of Windows";
        }
    }
    EXPECT_TRUE(fs::exists(windowsBuild() / "platforms" / "qwindows.dll"));
}

class WindowProgram : public testing::Test {
protected:
    WindowProgram() { desktop_.wine().reg({"delete", cGATE_KEY, "/f"}); }

    // Starts the program and waits for its main window; reports how long that took.
    NativeWindow startProgram() {
        const auto start = std::chrono::steady_clock::now();
        program_ = desktop_.wine().start(PELION_WIN32_GUI_PROGRAM, {});
        const auto window = desktop_.waitForWindow(cMAIN_CAPTION, cWINDOW_WAIT);
        if (!window) {
            program_->finish(1s);
            ADD_FAILURE() << "no main window; the program wrote: " << program_->err();
            return {};
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::cout << "main window shown " << took.count() << " s after the start\n";
        return *window;
    }

    void click(const NativeWindow& window, Point point) {
        desktop_.click(window, point.x, point.y);
    }

    // Close, and the program ends of its own accord.
    void closeAndExpectEnd(const NativeWindow& main) {
        click(main, cCLOSE_BUTTON);
        EXPECT_EQ(program_->finish(cWINDOW_WAIT), 0) << program_->err();
    }

    test::WindowsDesktop desktop_;
    std::unique_ptr<test::ChildProcess> program_;
};

// A fixed-size window: caption, system menu and minimise box, no maximise, no sizing border.
TEST_F(WindowProgram, StartsWithItsCaptionAndAFixedFrameAndCloseEndsIt) {
    SKIP_WITHOUT_WINDOW_PROGRAM();
    const NativeWindow main = startProgram();
    EXPECT_TRUE(main.hasStyle(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_FALSE(main.hasStyle(WS_MAXIMIZEBOX));
    EXPECT_FALSE(main.hasStyle(WS_THICKFRAME));
    EXPECT_FALSE(desktop_.waitForWindow("Report", 2s)) << "report window shown in normal mode";
    closeAndExpectEnd(main);
    EXPECT_TRUE(desktop_.waitUntilGone(cMAIN_CAPTION, cWINDOW_WAIT));
}

}  // namespace
}  // namespace pelion
