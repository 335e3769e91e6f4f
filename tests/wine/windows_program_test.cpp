// pelion-update.exe, the Windows program, under Wine against the simulated logger on a
// pseudo-terminal that Wine maps as a COM port: what its user sees (exit status, report lines),
// what the logger sees (its flash, the bytes on the wire), and what the registry gives it.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <optional>
#include <set>

#include "link/serial_port.h"
#include "sim/flash_model.h"
#include "sim/simulated_logger.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/image_lines.h"
#include "tests/support/text_lines.h"
#include "tests/wine/pe_imports.h"
#include "tests/wine/wine_session.h"

namespace pelion {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;

constexpr const char* cLOGGER_PORT = "COM33";
constexpr const char* cGATE_KEY = "HKCU\\Software\\Tessaly\\Orvo";
constexpr const char* cSERIAL_DEVICE_MAP = "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The texts of the report lines "hh-nn-ss -> text", without their times.
std::vector<std::string> reportTexts(const std::string& out) {
    std::vector<std::string> texts;
    for (const std::string& line : test::windowsLinesOf(out)) {
        const auto arrow = line.find(" -> ");
        texts.push_back(arrow == std::string::npos ? line : line.substr(arrow + 4));
    }
    return texts;
}

// Every DLL the program imports comes with Windows: the C++ runtime and the thread library are
// linked in, so the one .exe runs on a PC where nothing else was installed.
TEST(WindowsProgramFile, ImportsOnlyDllsThatComeWithWindows) {
    const std::set<std::string> imported = test::importedDlls(PELION_WIN32_PROGRAM);
    EXPECT_TRUE(imported.contains("kernel32.dll")) << "no import table read";
    for (const std::string& dll : imported) {
        EXPECT_TRUE(test::comesWithWindows(dll)) << dll << " does not come with Windows";
    }
}

class WindowsProgram : public testing::Test {
protected:
    // Normal mode unless a test grants internal mode; the key lasts in the prefix.
    WindowsProgram() { wine_.reg({"delete", cGATE_KEY, "/f"}); }

    // The logger's pseudo-terminal becomes COM33.
    void attach(const sim::SimulatedLogger& logger) {
        wine_.mapComPort(cLOGGER_PORT, logger.portPath());
    }

    void start(const std::vector<std::string>& args) { program_ = wine_.startProgram(args); }
    // Runs the program to its end; its exit status.
    int run(const std::vector<std::string>& args) {
        start(args);
        return program_->finish();
    }

    const std::string& out() const { return program_->out(); }
    const std::string& err() const { return program_->err(); }
    std::string lastLine() const {
        const auto lines = test::windowsLinesOf(out());
        return lines.empty() ? "" : lines.back();
    }

    test::WineSession wine_;
    std::unique_ptr<ChildProcess> program_;
};

// The port driver of a pseudo-terminal has no modem lines and refuses to raise DTR as not
// supported; the update goes through all the same.
TEST_F(WindowsProgram, UpdatesTheLoggerToImage11WithTheReportOfTheLinuxBuild) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    attach(logger);
    EXPECT_EQ(run({"--port", cLOGGER_PORT, "--yes"}), 0) << err();
    EXPECT_TRUE(logger.flashEquals(test::imageLines(11)));
    ASSERT_FALSE(logger.writeOrder().empty());
    EXPECT_EQ(logger.writeOrder().back(), sim::cVECTOR_TABLE_ADDRESS) << "vector table last";

    // The Linux build on a logger of its own, in normal mode whatever this machine's settings.
    sim::SimulatedLogger linuxLogger(test::loggerOfImage11());
    ChildProcess linuxRun(
        {test::buildProgram("pelion-update"), "--port", linuxLogger.portPath(), "--yes"},
        {{"XDG_CONFIG_HOME", "/nonexistent"}});
    ASSERT_EQ(linuxRun.finish(), 0) << linuxRun.err();

    std::vector<std::string> windowsReport = reportTexts(out());
    std::vector<std::string> linuxReport = reportTexts(linuxRun.out());
    ASSERT_FALSE(windowsReport.empty());
    ASSERT_FALSE(linuxReport.empty());
    // Each names the port by its own platform's name.
    EXPECT_EQ(windowsReport.front(), "Start at serial port \"COM33\"");
    EXPECT_EQ(linuxReport.front(), "Start at serial port \"" + linuxLogger.portPath() + "\"");
    windowsReport.erase(windowsReport.begin());
    linuxReport.erase(linuxReport.begin());
    EXPECT_EQ(windowsReport, linuxReport);
    EXPECT_EQ(windowsReport.back(), "Update PelionB V6.02 succesfully completed.");
}

TEST_F(WindowsProgram, ComPortThatDoesNotExistEndsWith10) {
    ASSERT_FALSE(wine_.comPortIsMapped("COM42"));
    EXPECT_EQ(run({"--port", "COM42", "--yes"}), 10) << err();
    EXPECT_TRUE(lastLine().ends_with(" -> Aborted because serial port \"COM42\" is not ready!"))
        << lastLine();
    EXPECT_NE(err().find("pelion-update: No such device ("), std::string::npos) << err();
}

TEST_F(WindowsProgram, PortHeldByAnotherProgramIsRefusedAndNothingIsSent) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    attach(logger);
    const ComPort held = openComPort(logger.portPath(), 9600);
    ASSERT_NE(held, cINVALID_PORT);
    EXPECT_EQ(run({"--port", cLOGGER_PORT, "--yes"}), 10) << err();
    closeComPort(held);
    EXPECT_TRUE(lastLine().ends_with(" -> Aborted because serial port \"COM33\" is not ready!"))
        << lastLine();
    EXPECT_NE(err().find("pelion-update: The port is held by another program ("), std::string::npos)
        << err();
    EXPECT_TRUE(logger.received().empty());
}

struct GateCase {
    const char* name;
    std::optional<const char*> intern;  // the value "intern", a REG_DWORD; none: no value
    bool granted;
};

void PrintTo(const GateCase& c, std::ostream* os) {
    *os << c.name;
}

class InternalModeGate : public WindowsProgram, public testing::WithParamInterface<GateCase> {};

// Only "intern" = 6021 under the current user's key opens "Read info only", which stops after
// the image choice; otherwise the feature is refused before the port is opened.
TEST_P(InternalModeGate, DecidesOverReadInfoOnly) {
    const GateCase& c = GetParam();
    if (c.intern) {
        ASSERT_TRUE(wine_.reg(
            {"add", cGATE_KEY, "/v", "intern", "/t", "REG_DWORD", "/d", *c.intern, "/f"}));
    }
    sim::SimulatedLogger logger(test::loggerOfImage11());
    attach(logger);
    const int status = run({"--read-info-only", "--port", cLOGGER_PORT});
    if (c.granted) {
        EXPECT_EQ(status, 70) << err();
        EXPECT_TRUE(lastLine().ends_with(" -> Only read update info!")) << lastLine();
        EXPECT_NE(out().find(" -> Check PelionB V6.02, A9f, BL3.0\r\n"), std::string::npos)
            << out();
        EXPECT_TRUE(logger.writeOrder().empty());
    } else {
        EXPECT_EQ(status, 2);
        EXPECT_NE(err().find("--read-info-only is not available in this mode"), std::string::npos)
            << err();
        EXPECT_TRUE(logger.received().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Registry, InternalModeGate,
                         testing::Values(GateCase{"AccessCode", "6021", true},
                                         GateCase{"NoValue", std::nullopt, false},
                                         GateCase{"OtherCode", "6020", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Wine lists its own serial port (\Device\Serial0, COM1) in the map as well.
TEST_F(WindowsProgram, ListsOnlyTheVirtualComPortsOfTheSerialDeviceMap) {
    ASSERT_TRUE(wine_.reg(
        {"add", cSERIAL_DEVICE_MAP, "/v", "\\Device\\VCP0", "/t", "REG_SZ", "/d", "COM33", "/f"}));
    ASSERT_TRUE(wine_.reg({"add", cSERIAL_DEVICE_MAP, "/v", "\\Device\\Serial7", "/t", "REG_SZ",
                           "/d", "COM9", "/f"}));
    EXPECT_EQ(run({"--list-ports", "--tab-separated"}), 0) << err();
    EXPECT_EQ(test::windowsLinesOf(out()),
              std::vector<std::string>{"COM33\t\\\\.\\COM33\t\t\t\t\t\t\t"});
}

// Wine turns the terminal's interrupt signal into the console's CTRL_C_EVENT.
TEST_F(WindowsProgram, CtrlCDuringProgrammingCancels) {
    sim::LoggerConfig config = test::loggerOfImage11();
    config.paced = true;  // programming takes long enough to be interrupted
    sim::SimulatedLogger logger(config);
    attach(logger);
    start({"--port", cLOGGER_PORT, "--yes"});
    ASSERT_TRUE(program_->waitForOutput(" -> Progress ", 120s)) << out() << err();
    program_->signal(SIGINT);
    EXPECT_EQ(program_->finish(), 20) << err();
    EXPECT_TRUE(lastLine().ends_with(" -> Process cancelled!")) << lastLine();
    EXPECT_FALSE(logger.vectorTableWritten());
}

}  // namespace
}  // namespace pelion
