// The udev port list and its hot-plug monitor with simulated devices: USB serial adapters
// that come and go, and a tty of another kind that is never a logger port.
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>

#include "link/port_details.h"
#include "link/port_list.h"
#include "tests/cli/child_process.h"
#include "tests/devices/mock_devices.h"

namespace pelion {
namespace {

using test::MockDevices;
using test::UsbAdapter;
using Names = std::vector<std::string>;

const UsbAdapter cLOGGER_CABLE{"ttyUSB0", "0403", "6001", "FTDI", "FT232R USB UART", "A10K3XYZ"};
const UsbAdapter cOTHER_ADAPTER{"ttyACM0", "2341", "0043", "Arduino", "Uno", "7563331"};

Names portList() {
    Names names;
    getComPortList(names);
    return names;
}

// Whether the monitor reports a port change within a generous bound.
bool monitorSeesChange(ComPortMonitor& monitor) {
    pollfd p{monitor.fd(), POLLIN, 0};
    return poll(&p, 1, 10000) == 1 && monitor.isComPortChange();
}

TEST(PortListDevices, ListsUsbSerialAdaptersAndLeavesOtherTtysOut) {
    MockDevices devices;
    devices.addPlainTty("ttyS0");
    EXPECT_EQ(portList(), Names{});
    devices.plugIn(cLOGGER_CABLE);
    devices.plugIn(cOTHER_ADAPTER);

    Names ports = portList();
    std::sort(ports.begin(), ports.end());
    EXPECT_EQ(ports, (Names{"ttyACM0", "ttyUSB0"}));
}

TEST(PortListDevices, DetailsNameTheUsbDeviceOfEachPort) {
    MockDevices devices;
    devices.plugIn(cLOGGER_CABLE);
    const std::vector<ComPortDetails> details = getComPortDetails();
    ASSERT_EQ(details.size(), 1u);
    const ComPortDetails& port = details[0];
    EXPECT_EQ(port.name, "ttyUSB0");
    EXPECT_EQ(port.devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(port.vendorId, "0403");
    EXPECT_EQ(port.productId, "6001");
    EXPECT_EQ(port.manufacturer, "FTDI");
    EXPECT_EQ(port.product, "FT232R USB UART");
    EXPECT_EQ(port.serial, "A10K3XYZ");
}

TEST(PortListDevices, MonitorReportsAdaptersPluggedInAndPulledOut) {
    MockDevices devices;
    ComPortMonitor monitor;
    ASSERT_GE(monitor.fd(), 0);

    const std::string cable = devices.plugIn(cLOGGER_CABLE);
    EXPECT_TRUE(monitorSeesChange(monitor));
    EXPECT_EQ(portList(), Names{"ttyUSB0"});

    devices.pullOut(cable);
    EXPECT_TRUE(monitorSeesChange(monitor));
    EXPECT_EQ(portList(), Names{});
}

// What pelion-update --list-ports prints, for people and for scripts; the child process sees
// the same simulated devices.
std::string listPorts(std::vector<std::string> options) {
    options.insert(options.begin(), test::buildProgram("pelion-update"));
    options.insert(options.begin() + 1, "--list-ports");
    test::ChildProcess tool(options, {});
    EXPECT_EQ(tool.finish(), 0) << tool.err();
    return tool.out();
}

TEST(PortListDevices, ListPortsShowsTheUsbDetailsAndLeavesOtherTtysOut) {
    MockDevices devices;
    devices.plugIn(cLOGGER_CABLE);
    devices.addPlainTty("ttyS0");
    EXPECT_EQ(listPorts({}),
              "Port     Device        USB ID     Manufacturer  Product          Serial    Latency\n"
              "ttyUSB0  /dev/ttyUSB0  0403:6001  FTDI          FT232R USB UART  A10K3XYZ  -\n");
    EXPECT_EQ(
        listPorts({"--tab-separated"}),
        "ttyUSB0\t/dev/ttyUSB0\t0403\t6001\tFTDI\tFT232R USB UART\tA10K3XYZ\t\tusb-ttyUSB0\n");
}

}  // namespace
}  // namespace pelion

int main(int argc, char** argv) {
    return pelion::test::runUnderMockDevices(argc, argv);
}
