// The port details of pelion-update.exe under Wine: USB serial adapters entered in the registry
// as their drivers enter them (a device of the Ports class below the Enum key, its COM name and
// latency timer among its device parameters, its port in the serial device map), as
// --list-ports shows them, as --check judges their latency timer, and the line the program
// writes before an update when the timer slows it down.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "sim/simulated_logger.h"
#include "tests/support/image_11_logger.h"
#include "tests/support/text_lines.h"
#include "tests/wine/wine_session.h"

namespace pelion {
namespace {

using test::ChildProcess;

constexpr const char* cENUM = "HKLM\\System\\CurrentControlSet\\Enum\\";
constexpr const char* cSERIAL_DEVICE_MAP = "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr const char* cPORTS_CLASS = "{4d36e978-e325-11ce-bfc1-08002be10318}";

struct Adapter {
    const char* instanceId;  // below the Enum key
    const char* deviceMapName;
    const char* comName;
    const char* manufacturer;
    const char* description;
    const char* location;
    std::optional<int> latencyTimer;
    const char* listed;  // the line of --list-ports --tab-separated
};

// FTDI's bus driver keeps a latency timer; the USB bus driver of a CDC device (usbser) does not,
// and a device without a serial number gets an instance ID of Windows' own.
const Adapter cADAPTERS[] = {
    {"FTDIBUS\\VID_0403+PID_6001+A10K3XYZA\\0000", "\\Device\\VCP0", "COM33", "FTDI",
     "USB Serial Port", "Port_#0004.Hub_#0003", 16,
     "COM33\t\\\\.\\COM33\t0403\t6001\tFTDI\tUSB Serial Port\tA10K3XYZ\t16\tPort_#0004.Hub_#0003"},
    {"FTDIBUS\\VID_0403+PID_6015+DN05ABCDA\\0000", "\\Device\\VCP1", "COM35", "FTDI",
     "USB Serial Port", "Port_#0001.Hub_#0001", 1,
     "COM35\t\\\\.\\COM35\t0403\t6015\tFTDI\tUSB Serial Port\tDN05ABCD\t1\tPort_#0001.Hub_#0001"},
    {"USB\\VID_10C4&PID_EA60\\5&2A3B4C5D&0&2", "\\Device\\VCP2", "COM36", "Silicon Labs",
     "CP210x USB to UART Bridge", "Port_#0002.Hub_#0001", std::nullopt,
     "COM36\t\\\\.\\COM36\t10c4\tea60\tSilicon Labs\tCP210x USB to UART Bridge\t\t\t"
     "Port_#0002.Hub_#0001"},
};

class PortDetails : public testing::Test {
protected:
    PortDetails() {
        for (const Adapter& a : cADAPTERS) {
            enter(a);
        }
    }
    ~PortDetails() override {
        for (const Adapter& a : cADAPTERS) {
            wine_.reg({"delete", std::string(cENUM) + a.instanceId, "/f"});
            wine_.reg({"delete", cSERIAL_DEVICE_MAP, "/v", a.deviceMapName, "/f"});
        }
    }

    void enter(const Adapter& a) {
        const std::string key = std::string(cENUM) + a.instanceId;
        const std::string parameters = key + "\\Device Parameters";
        const std::vector<std::vector<std::string>> values{
            {key, "ClassGUID", "REG_SZ", cPORTS_CLASS},
            {key, "Mfg", "REG_SZ", a.manufacturer},
            {key, "DeviceDesc", "REG_SZ", a.description},
            {key, "LocationInformation", "REG_SZ", a.location},
            {parameters, "PortName", "REG_SZ", a.comName},
            {cSERIAL_DEVICE_MAP, a.deviceMapName, "REG_SZ", a.comName},
        };
        for (const auto& v : values) {
            ASSERT_TRUE(wine_.reg({"add", v[0], "/v", v[1], "/t", v[2], "/d", v[3], "/f"})) << v[1];
        }
        if (a.latencyTimer) {
            ASSERT_TRUE(wine_.reg({"add", parameters, "/v", "LatencyTimer", "/t", "REG_DWORD", "/d",
                                   std::to_string(*a.latencyTimer), "/f"}));
        }
    }

    int run(const std::vector<std::string>& args) {
        program_ = wine_.startProgram(args);
        return program_->finish();
    }
    const std::string& out() const { return program_->out(); }
    const std::string& err() const { return program_->err(); }

    test::WineSession wine_;
    std::unique_ptr<ChildProcess> program_;
};

TEST_F(PortDetails, ListPortsShowsTheUsbIdentityAndLatencyTimerOfEachAdapter) {
    EXPECT_EQ(run({"--list-ports", "--tab-separated"}), 0) << err();
    std::vector<std::string> expected;
    for (const Adapter& a : cADAPTERS) {
        expected.push_back(a.listed);
    }
    std::vector<std::string> listed = test::windowsLinesOf(out());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);

    EXPECT_EQ(run({"--list-ports"}), 0) << err();
    const auto table = test::windowsLinesOf(out());
    ASSERT_FALSE(table.empty());
    EXPECT_TRUE(table[0].ends_with("Serial    Latency")) << table[0];
    EXPECT_NE(out().find("0403:6001  FTDI          USB Serial Port            A10K3XYZ  16 ms"),
              std::string::npos)
        << out();
}

const std::string cSLOW_COM33 =
    "The latency timer of the adapter on COM33 is 16 ms: an update of the largest firmware image "
    "takes about 11 s longer than at 1 ms. Set it to 1 ms, once for this adapter: Device "
    "Manager, Ports (COM & LPT), COM33, Properties, Port Settings, Advanced, Latency Timer "
    "(msec), 1.";

// The check names what the timer costs; the logger answers all the same.
TEST_F(PortDetails, CheckWarnsOfATimerOf16AndNotOf1) {
    sim::SimulatedLogger logger(test::loggerOfImage11());
    struct Case {
        const char* port;
        std::string latencyLine;
    } const cases[] = {
        {"COM33", "COM33: advice: " + cSLOW_COM33},
        {"COM35",
         "COM35: ok: The adapter's latency timer is 1 ms: it does not slow an update down."},
    };
    for (const Case& c : cases) {
        wine_.mapComPort(c.port, logger.portPath());
        EXPECT_EQ(run({"--check", "--port", c.port}), 0) << c.port << "\n" << out() << err();
        const auto lines = test::windowsLinesOf(out());
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.latencyLine), lines.end()) << out();
        EXPECT_NE(out().find(std::string(c.port) +
                             ": ok: A logger answers: class 26113 [PelionB], version 6.1, "
                             "serial number 327980."),
                  std::string::npos)
            << out();
    }
}

// One line on standard error before the update, and nothing for a timer that costs nothing.
// The ports lead nowhere, so each update ends at once, after the line.
TEST_F(PortDetails, UpdateSaysWhatASlowTimerCostsBeforeItStarts) {
    struct Case {
        const char* port;
        bool warned;
    } const cases[] = {{"COM33", true}, {"COM35", false}, {"COM36", false}};
    for (const Case& c : cases) {
        wine_.mapComPort(c.port, "/nonexistent/pelion-port");
        EXPECT_EQ(run({"--port", c.port, "--yes"}), 10) << c.port << "\n" << err();
        const auto lines = test::windowsLinesOf(err());
        const auto timerLines = std::count_if(lines.begin(), lines.end(), [](const auto& line) {
            return line.find("latency timer") != std::string::npos;
        });
        EXPECT_EQ(timerLines, c.warned ? 1 : 0) << c.port << "\n" << err();
        if (c.warned) {
            EXPECT_EQ(lines.front(), "pelion-update: " + cSLOW_COM33);
        }
    }
}

}  // namespace
}  // namespace pelion
