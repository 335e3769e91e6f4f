// What the check and the port list read from udev and the system around a port, with devices
// simulated by umockdev and a /proc and udev rules folders of the test's own: the adapter's
// latency timer, ModemManager told or not told to leave the adapter alone, brltty's rules, and
// the programs that hold a port. The machine's own services are never asked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cli/port_services.h"
#include "link/port_details.h"
#include "tests/cli/child_process.h"
#include "tests/devices/mock_devices.h"

namespace pelion {
namespace {

namespace fs = std::filesystem;
using test::MockDevices;
using test::UsbAdapter;

const UsbAdapter cFTDI{"ttyUSB0", "0403", "6001", "FTDI", "FT232R USB UART", "A10K3XYZ"};

UsbAdapter withTimer(const char* timer) {
    UsbAdapter adapter = cFTDI;
    adapter.latencyTimer = timer;
    return adapter;
}

TEST(PortCheckDevices, LatencyTimerComesFromTheUsbSerialPortWhereTheDriverKeepsOne) {
    struct Case {
        std::optional<std::string> attribute;
        std::optional<int> timer;
    } const cases[] = {{"16\n", 16}, {"1\n", 1}, {std::nullopt, std::nullopt}, {"fast\n", {}}};
    for (const Case& c : cases) {
        MockDevices devices;
        UsbAdapter adapter = cFTDI;
        adapter.latencyTimer = c.attribute;
        devices.plugIn(adapter);
        const ComPortDetails port = getComPortDetails("ttyUSB0");
        EXPECT_EQ(port.latencyTimerMs, c.timer) << c.attribute.value_or("(none)");
        EXPECT_EQ(port.serial, "A10K3XYZ");
        EXPECT_EQ(port.location, "usb-ttyUSB0");
    }
}

std::string tool(std::vector<std::string> args, int* status = nullptr) {
    args.insert(args.begin(), test::buildProgram("pelion-update"));
    test::ChildProcess child(args, {{"XDG_CONFIG_HOME", "/nonexistent"}});
    const int exit = child.finish();
    if (status) {
        *status = exit;
    }
    return child.out();
}

TEST(PortCheckDevices, ListPortsAndCheckShowTheTimer) {
    MockDevices devices;
    devices.plugIn(withTimer("16\n"));
    EXPECT_EQ(tool({"--list-ports"}),
              "Port     Device        USB ID     Manufacturer  Product          Serial    Latency\n"
              "ttyUSB0  /dev/ttyUSB0  0403:6001  FTDI          FT232R USB UART  A10K3XYZ  16 ms\n");
    EXPECT_EQ(
        tool({"--list-ports", "--tab-separated"}),
        "ttyUSB0\t/dev/ttyUSB0\t0403\t6001\tFTDI\tFT232R USB UART\tA10K3XYZ\t16\tusb-ttyUSB0\n");
    // On Linux the updater sets the timer itself while it holds the port: no advice, no cost.
    EXPECT_NE(tool({"--check", "--port", "ttyUSB0"})
                  .find("ttyUSB0: ok: The latency timer of the adapter on ttyUSB0 is 16 ms: "
                        "pelion-update sets it to 1 ms while it updates. To set it for every "
                        "program: echo 1 | sudo tee "
                        "/sys/bus/usb-serial/devices/ttyUSB0/latency_timer\n"),
              std::string::npos);
}

// A /proc and udev rules folders of the test's own.
class SystemTree {
public:
    SystemTree()
        : root_(fs::temp_directory_path() / ("pelion_system_" + std::to_string(getpid()))) {
        fs::create_directories(root_ / "proc");
        places.proc = (root_ / "proc").string();
        places.udevRules = {(root_ / "etc").string(), (root_ / "lib").string()};
        fs::create_directories(root_ / "etc");
        fs::create_directories(root_ / "lib");
    }
    ~SystemTree() { fs::remove_all(root_); }

    void process(const std::string& id, const std::string& name,
                 const std::vector<std::string>& open = {}) {
        fs::create_directories(root_ / "proc" / id / "fd");
        std::ofstream(root_ / "proc" / id / "comm") << name << "\n";
        int fd = 3;
        for (const std::string& path : open) {
            fs::create_symlink(path, root_ / "proc" / id / "fd" / std::to_string(fd++));
        }
    }
    void rules(const std::string& folder, const std::string& name, const std::string& text) {
        std::ofstream(root_ / folder / name) << text;
    }
    void mask(const std::string& name) { fs::create_symlink("/dev/null", root_ / "etc" / name); }
    std::string path(const std::string& folder, const std::string& name) const {
        return (root_ / folder / name).string();
    }

    cli::SystemPlaces places;

private:
    fs::path root_;
};

std::vector<std::string> servicesOf(const ComPortDetails& port, const cli::SystemPlaces& places) {
    std::vector<std::string> names;
    for (const auto& finding : cli::servicesClaiming(port, places)) {
        names.push_back(finding.service);
    }
    return names;
}

constexpr const char* cBRLTTY_PRODUCT =
    "ENV{PRODUCT}==\"403/6001/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"sk\", GOTO=\"brltty_usb_run\"\n";
constexpr const char* cBRLTTY_ATTRS =
    "ACTION==\"add\", SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", "
    "RUN+=\"brltty\"\n";
constexpr const char* cBRLTTY_OTHER = "ENV{PRODUCT}==\"1a86/7523/*\", GOTO=\"brltty_usb_run\"\n";

TEST(PortCheckDevices, ModemManagerIsNamedUnlessUdevTellsItToIgnoreTheAdapter) {
    for (const bool ignored : {false, true}) {
        MockDevices devices;
        UsbAdapter adapter = cFTDI;
        adapter.modemManagerIgnores = ignored;
        devices.plugIn(adapter);
        const ComPortDetails port = getComPortDetails("ttyUSB0");
        SystemTree system;
        system.process("1", "systemd");
        EXPECT_EQ(servicesOf(port, system.places), std::vector<std::string>{});
        system.process("812", "ModemManager");
        const auto found = cli::servicesClaiming(port, system.places);
        EXPECT_EQ(found.size(), ignored ? 0u : 1u);
        if (!ignored && !found.empty()) {
            EXPECT_NE(found[0].text.find("ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", "
                                         "ENV{ID_MM_DEVICE_IGNORE}=\"1\""),
                      std::string::npos)
                << found[0].text;
        }
    }
}

TEST(PortCheckDevices, BrlttyIsNamedWhereItsRulesClaimTheAdapter) {
    MockDevices devices;
    devices.plugIn(cFTDI);
    const ComPortDetails port = getComPortDetails("ttyUSB0");
    struct Case {
        const char* name;
        const char* folder;
        const char* text;
        bool masked;
        bool claimed;
    } const cases[] = {
        {"product form", "lib", cBRLTTY_PRODUCT, false, true},
        {"attribute form", "etc", cBRLTTY_ATTRS, false, true},
        {"another adapter", "lib", cBRLTTY_OTHER, false, false},
        {"masked in /etc", "lib", cBRLTTY_PRODUCT, true, false},
        {"commented out", "lib", "# ENV{PRODUCT}==\"403/6001/*\"\n", false, false},
    };
    for (const Case& c : cases) {
        SystemTree system;
        system.rules(c.folder, "85-brltty.rules", c.text);
        if (c.masked) {
            system.mask("85-brltty.rules");
        }
        const auto found = cli::servicesClaiming(port, system.places);
        ASSERT_EQ(found.size(), c.claimed ? 1u : 0u) << c.name;
        if (c.claimed) {
            EXPECT_NE(found[0].text.find(system.path(c.folder, "85-brltty.rules")),
                      std::string::npos)
                << found[0].text;
            EXPECT_NE(found[0].text.find("sudo ln -s /dev/null /etc/udev/rules.d/85-brltty.rules"),
                      std::string::npos);
        }
    }
}

TEST(PortCheckDevices, ProgramsHoldingThePortAreNamedByProcess) {
    SystemTree system;
    system.process("77", "minicom", {"/dev/null", "/dev/ttyUSB0"});
    system.process("78", "bash", {"/dev/pts/3"});
    system.process("self", "pelion-update", {"/dev/ttyUSB0"});
    EXPECT_EQ(cli::programsHolding("/dev/ttyUSB0", system.places),
              std::vector<std::string>{"minicom (process 77)"});
}

}  // namespace
}  // namespace pelion

int main(int argc, char** argv) {
    return pelion::test::runUnderMockDevices(argc, argv);
}
