// pelion-update-gui.exe, the Windows window program, under Wine on an Xvfb screen with openbox,
// driven by mouse and keys as a user drives it, against the simulated logger on a
// pseudo-terminal that Wine maps as a COM port. Frames are judged from the windows' Win32
// styles (openbox draws the same three title-bar boxes on every window); texts are copied out
// of the windows through the clipboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>

#include "sim/flash_model.h"
#include "sim/simulated_logger.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"
#include "tests/wine/german_locale.h"
#include "tests/wine/pe_imports.h"
#include "tests/wine/windows_build.h"
#include "tests/wine/windows_desktop.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::NativeWindow;

constexpr const char* cLOGGER_PORT = "COM33";
constexpr const char* cGATE_KEY = "HKCU\\Software\\Tessaly\\Orvo";
constexpr const char* cSERIAL_DEVICE_MAP = "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char* cMAIN_CAPTION = "Pelion Firmware Update";
constexpr const char* cMESSAGE_CAPTION = "Information";
constexpr auto cWINDOW_WAIT = 60s;
// A whole update at 9600 baud on a loaded machine, inside the 300 s that ./run gives a test.
constexpr auto cRUN_WAIT = 180s;

// Window styles, as the Windows headers define them.
constexpr unsigned long WS_POPUP = 0x80000000;
constexpr unsigned long WS_CAPTION = 0x00C00000;
constexpr unsigned long WS_SYSMENU = 0x00080000;
constexpr unsigned long WS_THICKFRAME = 0x00040000;
constexpr unsigned long WS_MINIMIZEBOX = 0x00020000;
constexpr unsigned long WS_MAXIMIZEBOX = 0x00010000;

// Where the main window's controls lie in its client area: the menu bar (about 22 pixels under
// Wine's fonts) above the control panel. Each point aims at the middle of its control, so a menu
// bar up to 10 pixels higher or lower still hits it.
constexpr int cMENU_BAR_HEIGHT = 22;
struct Point {
    int x, y;
};
constexpr Point cPORT_FIELD{180, cMENU_BAR_HEIGHT + 26};
constexpr Point cUPDATE_BUTTON{67, cMENU_BAR_HEIGHT + 92};
constexpr Point cREAD_INFO_ONLY{150, cMENU_BAR_HEIGHT + 92};
constexpr Point cCLOSE_BUTTON{323, cMENU_BAR_HEIGHT + 92};

// The message window: its text above a bar 45 pixels high whose left end is the OK button.
constexpr Point cMESSAGE_TEXT{100, 15};
constexpr Point cOK_BUTTON_FROM_BOTTOM_LEFT{46, 22};
// The report window: its text fills it.
constexpr Point cREPORT_TEXT{100, 30};
// A confirmation question: its text beside the icon; a click there leaves Yes the default.
constexpr Point cQUESTION_TEXT{120, 25};

// A drop-down list is a pop-up window of its own, without a frame.
bool isDropDownList(const NativeWindow& window) {
    return window.hasStyle(WS_POPUP) && !window.hasStyle(WS_CAPTION);
}

fs::path windowsBuild() {
    return fs::path(PELION_WIN32_GUI_PROGRAM).parent_path();
}

// Without a Qt for Windows ./run builds no window program; these tests then have nothing to run.
// A build set up with one must have left it: a missing program fails.
#define SKIP_WITHOUT_WINDOW_PROGRAM()                                               \
    if (const std::string why = test::whyNoWindowProgram(PELION_WIN32_GUI_PROGRAM); \
        !why.empty()) {                                                             \
        GTEST_SKIP() << why;                                                        \
    }                                                                               \
    ASSERT_TRUE(fs::exists(PELION_WIN32_GUI_PROGRAM))                               \
        << "the cross build was set up with the window program but left no "        \
        << PELION_WIN32_GUI_PROGRAM

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
    // Normal mode unless a test grants internal mode; the key lasts in the prefix.
    WindowProgram() { desktop_.wine().reg({"delete", cGATE_KEY, "/f"}); }
    void SetUp() override { SKIP_WITHOUT_WINDOW_PROGRAM(); }

    // The logger's pseudo-terminal becomes COM33, listed in the serial device map as the
    // driver of a USB adapter lists it.
    void attach(const sim::SimulatedLogger& logger) {
        desktop_.wine().mapComPort(cLOGGER_PORT, logger.portPath());
        listPort("\\Device\\VCP0", cLOGGER_PORT);
    }
    void listPort(const std::string& device, const std::string& comName) {
        ASSERT_TRUE(desktop_.wine().reg(
            {"add", cSERIAL_DEVICE_MAP, "/v", device, "/t", "REG_SZ", "/d", comName, "/f"}));
    }
    void grantInternalMode() {
        ASSERT_TRUE(desktop_.wine().reg(
            {"add", cGATE_KEY, "/v", "intern", "/t", "REG_DWORD", "/d", "6021", "/f"}));
    }

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
    std::string copyText(const NativeWindow& window, Point point) {
        return desktop_.copyText(window, point.x, point.y);
    }

    // Waits for the message window, copies its text and closes it with OK; the text.
    std::string verdict(std::chrono::seconds timeout) {
        const auto message = desktop_.waitForWindow(cMESSAGE_CAPTION, timeout);
        if (!message) {
            ADD_FAILURE() << "no message window";
            return {};
        }
        EXPECT_TRUE(message->hasStyle(WS_CAPTION));
        EXPECT_FALSE(message->hasStyle(WS_SYSMENU)) << "the message window has title-bar buttons";
        const std::string text = copyText(*message, cMESSAGE_TEXT);
        click(*message, {cOK_BUTTON_FROM_BOTTOM_LEFT.x,
                         message->bottom - message->top - cOK_BUTTON_FROM_BOTTOM_LEFT.y});
        EXPECT_TRUE(desktop_.waitUntilGone(cMESSAGE_CAPTION, cWINDOW_WAIT))
            << "OK did not close the message window";
        return text;
    }

    // Close, and the program ends of its own accord.
    void closeAndExpectEnd(const NativeWindow& main) {
        click(main, cCLOSE_BUTTON);
        EXPECT_EQ(program_->finish(cWINDOW_WAIT), 0) << program_->err();
        EXPECT_TRUE(desktop_.waitUntilGone(cMAIN_CAPTION, cWINDOW_WAIT));
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
}

// The port box offers the first virtual COM port of the serial device map (Wine's own COM9 on
// \Device\Serial7 is no logger port). A port that arrives while the window is open and idle
// drops the list down with it; the user picks it there.
TEST_F(WindowProgram, PortBoxOffersTheDeviceMapsPortAndOneThatArrives) {
    SKIP_WITHOUT_WINDOW_PROGRAM();
    listPort("\\Device\\Serial7", "COM9");
    listPort("\\Device\\VCP0", cLOGGER_PORT);
    const NativeWindow main = startProgram();
    EXPECT_EQ(copyText(main, cPORT_FIELD), cLOGGER_PORT);

    listPort("\\Device\\VCP1", "COM34");
    ASSERT_TRUE(desktop_.sendPortArrival(main, "COM34"));
    ASSERT_TRUE(desktop_.waitForWindow(isDropDownList, cWINDOW_WAIT))
        << "the port list did not drop down";
    desktop_.key("End");
    desktop_.key("Return");
    ASSERT_TRUE(desktop_.waitUntilGone(isDropDownList, cWINDOW_WAIT));
    EXPECT_EQ(copyText(main, cPORT_FIELD), "COM34");
    closeAndExpectEnd(main);
}

// Update asks the normal mode's question; Yes runs the whole update, the vector table last.
TEST_F(WindowProgram, UpdateAndConfirmProgramTheLoggerAndTheVerdictIsShown) {
    SKIP_WITHOUT_WINDOW_PROGRAM();
    sim::SimulatedLogger logger(test::loggerOfImage11());
    attach(logger);
    const NativeWindow main = startProgram();
    click(main, cUPDATE_BUTTON);
    const auto confirm = desktop_.waitForWindow("Confirm", cWINDOW_WAIT);
    ASSERT_TRUE(confirm) << "no confirmation question";
    // A message box on Windows copies its caption, text and buttons.
    const std::string question = copyText(*confirm, cQUESTION_TEXT);
    EXPECT_NE(question.find("Do you save your measurements ?"), std::string::npos) << question;
    desktop_.key("Return");  // Yes is the default button
    EXPECT_TRUE(desktop_.waitUntilGone("Confirm", cWINDOW_WAIT));

    EXPECT_EQ(verdict(cRUN_WAIT), "Update PelionB V6.02 succesfully completed.");
    EXPECT_TRUE(logger.flashEquals(test::imageLines(11)));
    ASSERT_FALSE(logger.writeOrder().empty());
    EXPECT_EQ(logger.writeOrder().back(), sim::cVECTOR_TABLE_ADDRESS) << "vector table last";
    closeAndExpectEnd(main);
}

// The registry grants internal mode: the report window stands below the main window from the
// start, with minimise and maximise but no close, and "Read info only" stops after the image
// choice, without a question and without programming the logger.
TEST_F(WindowProgram, InternalModeShowsTheReportAndReadsInfoOnlyAndCloseEndsIt) {
    SKIP_WITHOUT_WINDOW_PROGRAM();
    grantInternalMode();
    sim::SimulatedLogger logger(test::loggerOfImage11());
    attach(logger);
    const NativeWindow main = startProgram();
    const auto report = desktop_.waitForWindow("Report", cWINDOW_WAIT);
    ASSERT_TRUE(report) << "no report window in internal mode";
    EXPECT_TRUE(report->hasStyle(WS_CAPTION | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

    click(main, cREAD_INFO_ONLY);
    click(main, cUPDATE_BUTTON);
    EXPECT_EQ(verdict(cWINDOW_WAIT), "Only read update info!");
    EXPECT_FALSE(logger.received().empty()) << "the logger was not asked";
    EXPECT_TRUE(logger.writeOrder().empty()) << "the logger was programmed";
    closeAndExpectEnd(main);
}

// Windows sends a device change to every top-level window of the program (main, report, message,
// the open list); only the main window's copy refills the port list, so that one arrival drops
// the list down once instead of closing and reopening it once per window. The message is sent
// and handled before the probe returns: a refill would have dropped the list down by then.
TEST_F(WindowProgram, PortArrivalAtTheReportWindowLeavesThePortListAlone) {
    SKIP_WITHOUT_WINDOW_PROGRAM();
    grantInternalMode();
    listPort("\\Device\\VCP0", cLOGGER_PORT);
    const NativeWindow main = startProgram();
    const auto report = desktop_.waitForWindow("Report", cWINDOW_WAIT);
    ASSERT_TRUE(report) << "no report window in internal mode";

    listPort("\\Device\\VCP1", "COM34");
    ASSERT_TRUE(desktop_.sendPortArrival(*report, "COM34"));
    EXPECT_FALSE(std::ranges::any_of(desktop_.windows(), isDropDownList))
        << "the report window's copy refilled the port list";
    ASSERT_TRUE(desktop_.sendPortArrival(main, "COM34"));
    EXPECT_TRUE(desktop_.waitForWindow(isDropDownList, cWINDOW_WAIT))
        << "the main window's copy did not refill the port list";
    desktop_.key("Escape");
    ASSERT_TRUE(desktop_.waitUntilGone(isDropDownList, cWINDOW_WAIT));
    closeAndExpectEnd(main);
}

// A German Windows (ANSI code page 1252): the system's reason for a port that does not open, in
// German, keeps its umlaut in the report ("Ungültiger Name" for a name no device can have).
TEST_F(WindowProgram, SystemTextKeepsItsLettersInTheReport) {
    SKIP_WITHOUT_WINDOW_PROGRAM();
    test::useGermanLocale(desktop_.wine());
    grantInternalMode();
    listPort("\\Device\\VCP0", "COM<1>");
    const NativeWindow main = startProgram();
    const auto report = desktop_.waitForWindow("Report", cWINDOW_WAIT);
    ASSERT_TRUE(report) << "no report window in internal mode";

    click(main, cREAD_INFO_ONLY);
    click(main, cUPDATE_BUTTON);
    EXPECT_EQ(verdict(cWINDOW_WAIT), "Aborted because serial port \"COM<1>\" is not ready!");
    const std::string text = copyText(*report, cREPORT_TEXT);
    EXPECT_NE(text.find("No such device (Ung\xC3\xBCltiger Name)"), std::string::npos) << text;
    closeAndExpectEnd(main);
}

}  // namespace
}  // namespace pelion
