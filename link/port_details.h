// What the system knows about each logger port, for telling two USB adapters apart: the
// device path and, where the device has them, the USB vendor and product IDs, the maker's and
// the product's names, the serial number, where the adapter is plugged in and its latency timer.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pelion {

struct ComPortDetails {
    std::string name;          // as getComPortList gives it and openComPort takes it
    std::string devicePath;    // "/dev/ttyUSB0", "\\.\COM7"
    std::string vendorId;      // four hex digits, "0403"; empty when unknown
    std::string productId;     // four hex digits, "6001"
    std::string manufacturer;  // empty when the device does not say
    std::string product;
    std::string serial;
    // Where the adapter is plugged in, as the system names it: "1-1.4" (bus and port path),
    // "Port_#0004.Hub_#0003".
    std::string location;
    // The adapter driver's latency timer in ms; none where the driver keeps no such timer.
    std::optional<int> latencyTimerMs;
};

// A port of which nothing is known but its name and the device path openComPort opens for it.
ComPortDetails namedPort(const std::string& name);

// The logger ports in the order of getComPortList, with their details.
std::vector<ComPortDetails> getComPortDetails();

// The details of one port as the user names it (a logger port's name or its device path); its
// name and device path alone when it is none of the logger ports.
ComPortDetails getComPortDetails(const std::string& name);

}  // namespace pelion
