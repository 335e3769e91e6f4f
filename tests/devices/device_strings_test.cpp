// A USB device's strings are the device's own words: a device (broken, or built to attack) can
// put escape sequences, line and field breaks and bytes that are not UTF-8 in them, and the
// kernel passes them on. pelion-update --list-ports shows them escaped: nothing reaches the
// user's terminal that it would act on, and a script still reads seven fields per port.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli/child_process.h"
#include "tests/devices/mock_devices.h"

namespace pelion {
namespace {

using test::MockDevices;
using test::UsbAdapter;

std::string listPorts(std::vector<std::string> options) {
    options.insert(options.begin(), {test::buildProgram("pelion-update"), "--list-ports"});
    test::ChildProcess tool(options, {});
    EXPECT_EQ(tool.finish(), 0) << tool.err();
    return tool.out();
}

// Control bytes other than the line ends and, where asked, the field separator.
bool holdsControl(const std::string& output, bool tabsAllowed) {
    return std::any_of(output.begin(), output.end(), [&](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\n' && !(tabsAllowed && b == '\t')) || b == 0x7F;
    });
}

TEST(DeviceStrings, HostileStringsAreShownEscapedInBothListForms) {
    MockDevices devices;
    devices.plugIn({"ttyUSB0", "0403", "6001", "FT\nDI\tforged",
                    "\x1B]0;pwned\x07"
                    "FT232R\x1B[1A\x1B[2K",
                    "\xC2\x9B"
                    "31mA1\xFF"});
    const std::string table = listPorts({});
    EXPECT_FALSE(holdsControl(table, false)) << table;
    EXPECT_EQ(table, "Port     Device        USB ID     Manufacturer        Product" +
                         std::string(31, ' ') + "Serial" + std::string(13, ' ') +
                         "Latency\n"
                         "ttyUSB0  /dev/ttyUSB0  0403:6001  FT\\x0ADI\\x09forged  "
                         "\\x1B]0;pwned\\x07FT232R\\x1B[1A\\x1B[2K  \\xC2\\x9B31mA1\\xFF  -\n");

    const std::string lines = listPorts({"--tab-separated"});
    EXPECT_FALSE(holdsControl(lines, true)) << lines;
    EXPECT_EQ(lines,
              "ttyUSB0\t/dev/ttyUSB0\t0403\t6001\tFT\\x0ADI\\x09forged\t"
              "\\x1B]0;pwned\\x07FT232R\\x1B[1A\\x1B[2K\t\\xC2\\x9B31mA1\\xFF\t\tusb-ttyUSB0\n");
}

// Readable text of other scripts than Latin passes as it is.
TEST(DeviceStrings, Utf8StringsPassUnchanged) {
    MockDevices devices;
    devices.plugIn({"ttyUSB0", "0403", "6001", "M\xC3\xBCller GmbH",
                    "\xC3\x9C"
                    "bertrager",
                    "A1"});
    EXPECT_EQ(listPorts({"--tab-separated"}),
              "ttyUSB0\t/dev/ttyUSB0\t0403\t6001\tM\xC3\xBCller GmbH\t\xC3\x9C"
              "bertrager\tA1\t\tusb-ttyUSB0\n");
}

}  // namespace
}  // namespace pelion

int main(int argc, char** argv) {
    return pelion::test::runUnderMockDevices(argc, argv);
}
