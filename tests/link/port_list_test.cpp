// The port list: the registry rules of the Windows list and its device-change test, which are
// plain logic, and the udev list and monitor of this machine.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/port_filter.h"
#include "link/port_list.h"

namespace pelion {
namespace {

using Values = std::vector<std::pair<std::string, std::optional<std::string>>>;
using Names = std::vector<std::string>;

struct FilterCase {
    const char* what;
    Values serialComm;  // value name and string data, in enumeration order
    Names expected;
};

const FilterCase cFILTER_CASES[] = {
    {"virtual COM port", {{"\\Device\\VCP0", "COM7"}}, {"COM7"}},
    {"name in upper case", {{"\\DEVICE\\VCP1", "COM8"}}, {"COM8"}},
    {"built-in port", {{"\\Device\\Serial0", "COM1"}}, {}},
    {"prefix not at the start", {{"\\Device\\Serial0\\device\\vcp", "COM2"}}, {}},
    {"name shorter than the prefix", {{"\\device\\vc", "COM3"}}, {}},
    {"no ports", {}, {}},
    {"enumeration order kept, not sorted",
     {{"\\Device\\VCP2", "COM12"},
      {"\\Device\\Serial0", "COM1"},
      {"\\Device\\VCP0", "COM3"},
      {"\\Device\\Serial1", "COM2"},
      {"\\Device\\VCP1", "COM10"}},
     {"COM12", "COM3", "COM10"}},
    {"COM name kept as stored", {{"\\Device\\VCP0", "com 4 "}}, {"com 4 "}},
    {"unreadable or empty COM name",
     {{"\\Device\\VCP0", std::nullopt}, {"\\Device\\VCP1", ""}, {"\\Device\\VCP2", "COM5"}},
     {"COM5"}},
};

TEST(VirtualComPortFilter, KeepsOnlyVirtualComPortsAsTheirComNames) {
    for (const auto& c : cFILTER_CASES) {
        std::map<std::string, std::optional<std::string>> data;
        Names list;
        for (const auto& [name, comName] : c.serialComm) {
            list.push_back(name);
            data[name] = comName;
        }
        Names asked;
        keepVirtualComPorts(list, [&](const std::string& name) {
            asked.push_back(name);
            return data.at(name);
        });
        EXPECT_EQ(list, c.expected) << c.what;
        for (const auto& name : asked) {
            EXPECT_TRUE(isVirtualComPortName(name)) << c.what << ": read data of " << name;
        }
    }
}

struct DeviceChangeCase {
    std::uintptr_t wParam;
    std::uint32_t deviceType;
    bool portChange;
};

const DeviceChangeCase cDEVICE_CHANGE_CASES[] = {
    {cDBT_DEVICEARRIVAL, cDBT_DEVTYP_PORT, true},
    {cDBT_DEVICEREMOVECOMPLETE, cDBT_DEVTYP_PORT, true},
    {cDBT_DEVICEARRIVAL, 5, false},  // a device interface
    {cDBT_DEVICEREMOVECOMPLETE, 2, false},
    {0x8001, cDBT_DEVTYP_PORT, false},  // removal only asked for
};

TEST(DeviceChange, OnlyArrivalOrRemovalOfAPortCounts) {
    for (const auto& c : cDEVICE_CHANGE_CASES) {
        const DeviceBroadcastHeader header{sizeof(DeviceBroadcastHeader), c.deviceType, 0};
        EXPECT_EQ(isPortDeviceChange(c.wParam, reinterpret_cast<std::intptr_t>(&header)),
                  c.portChange)
            << std::hex << "wParam " << c.wParam << " type " << c.deviceType;
    }
}

TEST(DeviceChange, OtherEventsDoNotReadTheHeader) {
    // An lParam that points nowhere: reading it would crash.
    constexpr std::intptr_t cNOWHERE = 8;
    EXPECT_FALSE(isPortDeviceChange(0x0007, cNOWHERE));  // device nodes changed
    EXPECT_FALSE(isPortDeviceChange(0x8001, cNOWHERE));
    EXPECT_FALSE(isPortDeviceChange(cDBT_DEVICEARRIVAL, 0));
}

TEST(UdevPortList, ListsThisMachinesUsbSerialPorts) {
    Names list{"stale entry"};
    getComPortList(list);
    for (const auto& name : list) {
        EXPECT_FALSE(name.empty());
        EXPECT_NE(name, "stale entry");
    }
}

TEST(UdevPortMonitor, StartsAndAnswersNoChangeWhenNothingHappened) {
    ComPortMonitor monitor;
    // A monitor that failed to start answers -1: the window would then never see a port come.
    ASSERT_GE(monitor.fd(), 0);
    EXPECT_NE(fcntl(monitor.fd(), F_GETFD), -1) << "the monitor's descriptor is not open";
    EXPECT_FALSE(monitor.isComPortChange());  // returns at once with nothing pending
}

}  // namespace
}  // namespace pelion
